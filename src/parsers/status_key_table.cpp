#include "parsers/status_key_table.h"

#include <cstring>

#include "support/fatal.h"
#include "support/numbers.h"

namespace {

constexpr status_key text_key(const char *key, char *stats_entry::*field) {
  return {key, value_kind::text, field, nullptr, nullptr, nullptr};
}
constexpr status_key int_key(const char *key, int32_t stats_entry::*field) {
  return {key, value_kind::int32, nullptr, field, nullptr, nullptr};
}
constexpr status_key long_key(const char *key, int64_t stats_entry::*field) {
  return {key, value_kind::int64, nullptr, nullptr, field, nullptr};
}
constexpr status_key double_key(const char *key, double stats_entry::*field) {
  return {key, value_kind::floating, nullptr, nullptr, nullptr, field};
}

}  // namespace

constexpr status_key status_key_table[status_key_count] = {
    int_key("acknowledgement_type", &stats_entry::acknowledgement_type),
    int_key("active_checks_enabled", &stats_entry::active_checks_enabled),
    text_key("author", &stats_entry::author),
    text_key("check_command", &stats_entry::check_command),
    double_key("check_execution_time", &stats_entry::check_execution_time),
    double_key("check_interval", &stats_entry::check_interval),
    double_key("check_latency", &stats_entry::check_latency),
    int_key("check_options", &stats_entry::check_options),
    text_key("check_period", &stats_entry::check_period),
    int_key("check_type", &stats_entry::check_type),
    text_key("comment", &stats_entry::comment),
    text_key("comment_data", &stats_entry::comment_data),
    int_key("comment_id", &stats_entry::comment_id),
    int_key("current_attempt", &stats_entry::current_attempt),
    int_key("current_event_id", &stats_entry::current_event_id),
    int_key("current_notification_id", &stats_entry::current_notification_id),
    double_key("current_notification_number", &stats_entry::current_notification_number),
    int_key("current_problem_id", &stats_entry::current_problem_id),
    int_key("current_state", &stats_entry::current_state),
    int_key("downtime_id", &stats_entry::downtime_id),
    int_key("duration", &stats_entry::duration),
    long_key("end_time", &stats_entry::end_time),
    long_key("entry_time", &stats_entry::entry_time),
    int_key("entry_type", &stats_entry::entry_type),
    int_key("event_handler", &stats_entry::event_handler),
    int_key("event_handler_enabled", &stats_entry::event_handler_enabled),
    long_key("expire_time", &stats_entry::expire_time),
    int_key("expires", &stats_entry::expires),
    int_key("failure_prediction_enabled", &stats_entry::failure_prediction_enabled),
    int_key("fixed", &stats_entry::fixed),
    int_key("flap_detection_enabled", &stats_entry::flap_detection_enabled),
    int_key("has_been_checked", &stats_entry::has_been_checked),
    text_key("host_name", &stats_entry::host_name),
    text_key("host_notification_period", &stats_entry::host_notification_period),
    int_key("is_flapping", &stats_entry::is_flapping),
    long_key("last_check", &stats_entry::last_check),
    int_key("last_event_id", &stats_entry::last_event_id),
    int_key("last_hard_state", &stats_entry::last_hard_state),
    int_key("last_hard_state_change", &stats_entry::last_hard_state_change),
    int_key("last_notification", &stats_entry::last_notification),
    int_key("last_problem_id", &stats_entry::last_problem_id),
    long_key("last_state_change", &stats_entry::last_state_change),
    int_key("last_time_critical", &stats_entry::last_time_critical),
    int_key("last_time_down", &stats_entry::last_time_down),
    int_key("last_time_ok", &stats_entry::last_time_ok),
    int_key("last_time_unknown", &stats_entry::last_time_unknown),
    int_key("last_time_unreachable", &stats_entry::last_time_unreachable),
    int_key("last_time_up", &stats_entry::last_time_up),
    int_key("last_time_warning", &stats_entry::last_time_warning),
    long_key("last_update", &stats_entry::last_update),
    text_key("long_plugin_output", &stats_entry::long_plugin_output),
    int_key("max_attempts", &stats_entry::max_attempts),
    int_key("modified_attributes", &stats_entry::modified_attributes),
    long_key("next_check", &stats_entry::next_check),
    int_key("next_comment_id", &stats_entry::next_comment_id),
    int_key("next_notification", &stats_entry::next_notification),
    int_key("no_more_notifications", &stats_entry::no_more_notifications),
    text_key("notification_period", &stats_entry::notification_period),
    int_key("notifications_enabled", &stats_entry::notifications_enabled),
    int_key("obsess_over_host", &stats_entry::obsess_over_host),
    int_key("obsess_over_service", &stats_entry::obsess_over_service),
    int_key("passive_checks_enabled", &stats_entry::passive_checks_enabled),
    double_key("percent_state_change", &stats_entry::percent_state_change),
    text_key("performance_data", &stats_entry::performance_data),
    int_key("persistent", &stats_entry::persistent),
    text_key("plugin_output", &stats_entry::plugin_output),
    int_key("problem_has_been_acknowledged", &stats_entry::problem_has_been_acknowledged),
    int_key("process_performance_data", &stats_entry::process_performance_data),
    double_key("retry_interval", &stats_entry::retry_interval),
    double_key("scheduled_downtime_depth", &stats_entry::scheduled_downtime_depth),
    text_key("service_description", &stats_entry::service_description),
    int_key("should_be_scheduled", &stats_entry::should_be_scheduled),
    int_key("source", &stats_entry::source),
    long_key("start_time", &stats_entry::start_time),
    int_key("state_type", &stats_entry::state_type),
    int_key("triggered_by", &stats_entry::triggered_by),
    int_key("type", &stats_entry::type),
};

namespace {

// strcmp's order, usable at compile time: bytes compare as unsigned.
constexpr int compare_bytes(const char *a, const char *b) {
  while (*a != '\0' && *a == *b) {
    a++;
    b++;
  }
  return static_cast<unsigned char>(*a) - static_cast<unsigned char>(*b);
}

constexpr bool table_is_sorted() {
  for (int32_t i = 1; i < status_key_count; i++)
    if (compare_bytes(status_key_table[i - 1].key, status_key_table[i].key) >= 0)
      return false;
  return true;
}

static_assert(table_is_sorted(), "the binary search needs strictly sorted keys");

// Keys that today's writers put into host, service, comment and downtime
// blocks and that the watcher has no use for. Reporting them would print
// lines for every host and service on every poll.
const char *const ignored_keys[] = {
    // Nagios 3 and 4
    "event_handler_period",
    "flex_downtime_start",
    "importance",
    "is_in_effect",
    "obsess",
    "start_notification_sent",
    // Naemon
    "acknowledgement_end_time",
    "problem_end",
    "problem_start",
    // Icinga 1
    "check_source",
    "current_critical_notification_number",
    "current_down_notification_number",
    "current_unknown_notification_number",
    "current_unreachable_notification_number",
    "current_warning_notification_number",
    // Icinga 2
    "is_reachable",
    "last_time_warn",
    // comments and downtimes of Icinga and Centreon Engine
    "host_id",
    "service_id",
    "trigger_time",
};

}  // namespace

const status_key *find_status_key(const char *key) {
  int32_t low = 0;
  int32_t high = status_key_count - 1;
  while (low <= high) {
    int32_t middle = (low + high) / 2;
    int order = strcmp(key, status_key_table[middle].key);
    if (order > 0)
      low = middle + 1;
    else if (order < 0)
      high = middle - 1;
    else
      return &status_key_table[middle];
  }
  return nullptr;
}

bool is_ignored_status_key(const char *key) {
  // Custom variables: every key with a leading underscore is one.
  if (key[0] == '_') return true;
  for (const char *ignored : ignored_keys)
    if (strcmp(key, ignored) == 0) return true;
  return false;
}

void store_status_value(const status_key &row, stats_entry *entry, const char *value) {
  switch (row.kind) {
    case value_kind::text:
      // A key met twice in one block keeps its later value; the earlier copy
      // would otherwise leak on every poll.
      xfree(entry->*row.text_field, "entry text");
      entry->*row.text_field = xstrdup(value);
      break;
    case value_kind::int32:
      entry->*row.int_field = text_to_int(value);
      break;
    case value_kind::int64:
      entry->*row.long_field = text_to_long(value);
      break;
    case value_kind::floating:
      entry->*row.double_field = text_to_double(value);
      break;
  }
}
