#include "watcher/report.h"

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

// Split so that no "??/" trigraph sequence appears in a literal.
const char unknown_time[] = "????" "/??" "/?? ??:??";

// Texts that are none compare equal only to each other.
bool same_text(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) return a == b;
  return strcmp(a, b) == 0;
}

bool is_problem_host_state(int32_t state) { return state == 1 || state == 2; }

// Whether a non-host entry belongs to a host that is down or unreachable in
// the same array. An entry without a host name belongs to no host.
bool host_is_down(const stats_entry *entries, int32_t count,
                  const stats_entry *judged) {
  if (judged->type == entry_host || judged->host_name == nullptr) return false;
  for (int32_t i = 0; i < count; i++) {
    const stats_entry &candidate = entries[i];
    if (candidate.type != entry_service &&
        is_problem_host_state(candidate.current_state) &&
        candidate.host_name != nullptr &&
        strcmp(candidate.host_name, judged->host_name) == 0)
      return true;
  }
  return false;
}

bool has_no_checks(const stats_entry *entry) {
  return entry->active_checks_enabled == 0 && entry->passive_checks_enabled == 0;
}

// Any depth but exactly zero, NaN included, means downtime.
bool in_downtime(const stats_entry *entry) {
  return !(entry->scheduled_downtime_depth == 0.0);
}

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

}  // namespace

void report_entry(const stats_entry *current, int32_t current_count,
                  int32_t index, const stats_entry *previous,
                  int32_t previous_count, bool hard_only,
                  report_layout layout) {
  const stats_entry *entry = &current[index];
  bool reported;
  if (previous == nullptr) {
    reported = show_on_first_poll(current, current_count, index, false, false,
                                  false, true);
  } else {
    int32_t match = find_previous_entry(previous, previous_count,
                                        entry->host_name,
                                        entry->service_description);
    reported = match < 0 ||
               changed_since_previous(&previous[match], entry, hard_only);
  }
  if (reported) print_report_line(entry, layout);
}

bool show_on_first_poll(const stats_entry *entries, int32_t count,
                        int32_t index, bool include_masked,
                        bool include_notifications_disabled,
                        bool include_acknowledged, bool hide_ok) {
  const stats_entry *entry = &entries[index];
  if (entry->state_type != state_hard) return false;
  if (!include_masked) {
    if (host_is_down(entries, count, entry)) return false;
    if (has_no_checks(entry)) return false;
    if (in_downtime(entry)) return false;
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

int32_t find_previous_entry(const stats_entry *entries, int32_t count,
                            const char *host, const char *service) {
  if (count <= 0) return -1;
  // Computed in 64 bits and reduced first, so no cursor value can overflow
  // or index outside the array.
  int64_t start = ((static_cast<int64_t>(lookup_cursor) % count) + count) % count;
  for (int64_t k = 0; k < count; k++) {
    int32_t candidate = static_cast<int32_t>((start + k) % count);
    if (same_text(entries[candidate].host_name, host) &&
        same_text(entries[candidate].service_description, service)) {
      lookup_cursor = candidate;
      return candidate;
    }
  }
  return -1;
}

bool changed_since_previous(const stats_entry *previous,
                            const stats_entry *current, bool hard_only) {
  if (!hard_only) return previous->current_state != current->current_state;
  for (const hard_change_rule &rule : hard_change_rules) {
    if (rule.previous_type != previous->state_type ||
        rule.current_type != current->state_type)
      continue;
    if (rule.when == reported_when::current_not_ok)
      return current->current_state != 0;
    return previous->current_state != current->current_state;
  }
  return false;
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
