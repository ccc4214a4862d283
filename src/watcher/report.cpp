#include "watcher/report.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

#include "support/fatal.h"

int32_t lookup_cursor = 0;

namespace {

enum : int32_t { state_soft = 0, state_hard = 1 };

const char *const state_labels[] = {" OK ", "WARN", "CRIT", " ?? "};
const int32_t state_label_count = 4;
// Shown for a code that a status file may carry but no label names.
const char unknown_state_label[] = " ?? ";

// When a HARD-only watcher reports a step, by the state types before and
// after it. Steps missing from the table are never reported: a state that
// went SOFT is not yet worth a line, and a SOFT recovery never is.
enum class reported_when { current_not_ok, states_differ };
struct hard_change_rule {
  int32_t previous_type;
  int32_t current_type;
  reported_when when;
};
const hard_change_rule hard_change_rules[] = {
    {state_soft, state_hard, reported_when::current_not_ok},
    {state_hard, state_hard, reported_when::states_differ},
};

// The report formats of each layout: with the calendar time, and with a
// placeholder text for a time the calendar cannot show.
struct layout_formats {
  const char *dated;
  const char *undated;
};
const layout_formats formats_of_layout[] = {
    {"%04d/%02d/%02d %02d:%02d %s %s %s\n%s\n", "%s %s %s %s\n%s\n"},
    {"%04d/%02d/%02d %02d:%02d %s %s %s, %s\n", "%s %s %s %s, %s\n"},
};

// Split so that no literal holds "??/": clang warns of it (-Wtrigraphs)
// even where trigraphs are not read, and CI builds with -Werror.
const char unknown_time[] = "????" "/??" "/?? ??:??";

bool is_problem_host_state(int32_t state) { return state == 1 || state == 2; }

// A host entry (any entry that is no service) that is down or unreachable
// masks the services of its host name.
bool masks_its_services(const stats_entry &candidate) {
  return candidate.type != entry_service && is_problem_host_state(candidate.current_state) &&
         candidate.host_name != nullptr;
}

// Whether the judged entry, no host, belongs to a host that is down or
// unreachable in the same array. An entry without a host name belongs to
// no host. The down hosts are found once per array, not once per entry.
bool masked_by_down_host(stats_array *array, const stats_entry *judged) {
  if (judged->type == entry_host || judged->host_name == nullptr) return false;
  entry_groups *down_hosts = &array->lookup.down_hosts;
  if (!down_hosts->built)
    build_entry_groups(array, group_key::host_name, masks_its_services, down_hosts);
  uint64_t hash = group_hash(group_key::host_name, judged->host_name, nullptr);
  index_span down = find_entry_group(*down_hosts, hash, judged->host_name, nullptr);
  return down.begin != down.end;
}

bool has_names(const stats_entry &candidate, const char *host, const char *service) {
  return same_text(candidate.host_name, host) && same_text(candidate.service_description, service);
}

entry_state state_of(const entry_identity &identity) {
  return {identity.current_state, identity.state_type};
}

bool has_no_checks(const stats_entry *entry) {
  return entry->active_checks_enabled == 0 && entry->passive_checks_enabled == 0;
}

// Any depth but exactly zero, NaN included, means downtime.
bool in_downtime(const stats_entry *entry) {
  return !(entry->scheduled_downtime_depth == 0.0);
}

bool hash_before(const downtime_span &a, const downtime_span &b) { return a.hash < b.hash; }

// Fills `when` with the local calendar time of `seconds`; false when the
// platform's time type or its calendar (a year that fits an int) cannot
// hold it.
bool local_calendar_time(int64_t seconds, tm *when) {
  if (seconds < std::numeric_limits<time_t>::min() ||
      seconds > std::numeric_limits<time_t>::max())
    return false;
  time_t moment = static_cast<time_t>(seconds);
  if (localtime_r(&moment, when) == nullptr) return false;
  return when->tm_year <= INT_MAX - 1900;
}

const char *text_or_empty(const char *text) { return text ? text : ""; }

// find_previous_entry for names whose identity hash is known; a match's
// state is stored in `state`.
int32_t find_named_entry(stats_array *array, uint64_t hash, const char *host,
                         const char *service, entry_state *state) {
  int32_t count = array->count;
  if (count <= 0) return -1;
  // Reduced into the array in 64 bits, so no cursor value can overflow or
  // index outside it; a cursor already inside, the usual case, needs no
  // division.
  int64_t start = lookup_cursor;
  if (start >= count || start < 0) start = ((start % count) + count) % count;
  const entry_identity *identities = identities_of(array);
  entry_lookup *lookup = &array->lookup;
  int32_t found = -1;
  // In an unchanged file order the match is the last one or its successor:
  // the first two candidates of the walk from the cursor. A candidate whose
  // hash differs cannot match.
  for (int64_t k = 0; k < 2 && k < count && found < 0 && lookup->in_file_order; k++) {
    int32_t candidate = static_cast<int32_t>(start + k < count ? start + k : start + k - count);
    const entry_identity &identity = identities[candidate];
    if (identity.hash == hash && same_text(identity.host, host) &&
        same_text(identity.service, service))
      found = candidate;
  }
  if (found >= 0) *state = state_of(identities[found]);
  // Otherwise the walk's answer is the identity's first index at or after
  // the cursor, or, wrapping, its first index of all.
  if (found < 0) {
    if (!lookup->by_identity.built)
      build_entry_groups(array, group_key::identity, nullptr, &lookup->by_identity);
    index_span same = find_entry_group(lookup->by_identity, hash, host, service);
    if (same.begin == same.end) return -1;
    const int32_t *at_or_after = std::lower_bound(same.begin, same.end, start);
    found = at_or_after != same.end ? *at_or_after : *same.begin;
    // The group's slot holds its first entry's state: no entry to read.
    *state = found == *same.begin ? same.first_state : state_of(identities[found]);
    int64_t step = found >= start ? found - start : found - start + count;
    lookup->in_file_order = step < 2;
  }
  lookup_cursor = found;
  return found;
}

// In a reordered file a lookup lands on a random slot of the previous
// array's groups, each a wait: asking for the slot some lookups ahead lets
// the waits overlap. No answer depends on it.
void prefetch_lookup_ahead(const entry_identity *current, int32_t index, int32_t count,
                           const stats_array &previous) {
  const int32_t ahead = 16;
  const entry_groups &groups = previous.lookup.by_identity;
  if (groups.built && index + ahead < count)
    __builtin_prefetch(&home_slot(groups, current[index + ahead].hash));
}

// changed_since_previous for the two entries' states alone.
bool change_is_reported(const entry_state &previous, const entry_state &current, bool hard_only) {
  if (!hard_only) return previous.current_state != current.current_state;
  for (const hard_change_rule &rule : hard_change_rules) {
    if (rule.previous_type != previous.state_type ||
        rule.current_type != current.state_type)
      continue;
    if (rule.when == reported_when::current_not_ok)
      return current.current_state != 0;
    return previous.current_state != current.current_state;
  }
  return false;
}

}  // namespace

void report_entry(stats_array *current, int32_t index, stats_array *previous,
                  bool hard_only, report_layout layout) {
  bool reported;
  const stats_entry &entry = current->entries[index];
  if (!was_read(*previous)) {
    reported = show_on_first_poll(current, index, false, false, false, true);
  } else {
    const entry_identity *identities = identities_of(current);
    const entry_identity &identity = identities[index];
    prefetch_lookup_ahead(identities, index, current->count, *previous);
    entry_state before;
    int32_t match =
        find_named_entry(previous, identity.hash, identity.host, identity.service, &before);
    reported = match < 0 || change_is_reported(before, state_of(identity), hard_only);
  }
  if (reported) print_report_line(&entry, layout);
}

bool show_on_first_poll(stats_array *array, int32_t index, bool include_masked,
                        bool include_notifications_disabled,
                        bool include_acknowledged, bool hide_ok) {
  const stats_entry *entry = &array->entries[index];
  if (entry->state_type != state_hard) return false;
  if (!include_masked) {
    if (masked_by_down_host(array, entry)) return false;
    if (has_no_checks(entry)) return false;
    if (in_downtime(entry) || has_downtime_in_effect(array, index)) return false;
  }
  if (!include_notifications_disabled && entry->notifications_enabled == 0)
    return false;
  if (!include_acknowledged && entry->problem_has_been_acknowledged == 1)
    return false;
  if (hide_ok && entry->current_state == 0) return false;
  if (entry->current_state >= 0 && entry->current_state < state_label_count)
    return true;
  fatal("internal error: state %d not known", entry->current_state);
}

int32_t find_previous_entry(stats_array *array, const char *host, const char *service) {
  entry_state state;
  return find_named_entry(array, names_hash(host, service), host, service, &state);
}

bool has_downtime_in_effect(stats_array *array, int32_t index) {
  std::vector<downtime_span> &downtimes = array->downtimes;
  if (downtimes.empty()) return false;
  if (!array->lookup.downtimes_ordered) {
    std::sort(downtimes.begin(), downtimes.end(), hash_before);
    array->lookup.downtimes_ordered = true;
  }
  const stats_entry &entry = array->entries[index];
  downtime_span key = {identities_of(array)[index].hash, nullptr, nullptr, 0, 0};
  auto same_hash = std::equal_range(downtimes.begin(), downtimes.end(), key, hash_before);
  for (auto downtime = same_hash.first; downtime != same_hash.second; downtime++)
    if (has_names(entry, downtime->host, downtime->service) &&
        entry.last_update >= downtime->from && entry.last_update < downtime->until)
      return true;
  return false;
}

bool changed_since_previous(const stats_entry *previous,
                            const stats_entry *current, bool hard_only) {
  return change_is_reported({previous->current_state, previous->state_type},
                            {current->current_state, current->state_type}, hard_only);
}

const char *state_label(int32_t current_state) {
  if (current_state < 0 || current_state >= state_label_count)
    return unknown_state_label;
  return state_labels[current_state];
}

void print_report_line(const stats_entry *entry, report_layout layout) {
  const layout_formats &formats = formats_of_layout[static_cast<int>(layout)];
  const char *label = state_label(entry->current_state);
  const char *host = text_or_empty(entry->host_name);
  const char *service = text_or_empty(entry->service_description);
  const char *output = text_or_empty(entry->plugin_output);
  tm when;
  if (local_calendar_time(entry->last_state_change, &when)) {
    printf(formats.dated, when.tm_year + 1900, when.tm_mon + 1, when.tm_mday,
           when.tm_hour, when.tm_min, label, host, service, output);
  } else {
    printf(formats.undated, unknown_time, label, host, service, output);
  }
}
