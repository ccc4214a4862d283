#include "parsers/status_key_table.h"

#include <array>
#include <cstring>

constexpr status_key status_key_table[status_key_count] = {
    {"acknowledgement_type", &stats_entry::acknowledgement_type},
    {"active_checks_enabled", &stats_entry::active_checks_enabled},
    {"author", &stats_entry::author},
    {"check_command", &stats_entry::check_command},
    {"check_execution_time", &stats_entry::check_execution_time},
    {"check_interval", &stats_entry::check_interval},
    {"check_latency", &stats_entry::check_latency},
    {"check_options", &stats_entry::check_options},
    {"check_period", &stats_entry::check_period},
    {"check_type", &stats_entry::check_type},
    {"comment", &stats_entry::comment},
    {"comment_data", &stats_entry::comment_data},
    {"comment_id", &stats_entry::comment_id},
    {"current_attempt", &stats_entry::current_attempt},
    {"current_event_id", &stats_entry::current_event_id},
    {"current_notification_id", &stats_entry::current_notification_id},
    {"current_notification_number", &stats_entry::current_notification_number},
    {"current_problem_id", &stats_entry::current_problem_id},
    {"current_state", &stats_entry::current_state},
    {"downtime_id", &stats_entry::downtime_id},
    {"duration", &stats_entry::duration},
    {"end_time", &stats_entry::end_time},
    {"entry_time", &stats_entry::entry_time},
    {"entry_type", &stats_entry::entry_type},
    {"event_handler", &stats_entry::event_handler},
    {"event_handler_enabled", &stats_entry::event_handler_enabled},
    {"expire_time", &stats_entry::expire_time},
    {"expires", &stats_entry::expires},
    {"failure_prediction_enabled", &stats_entry::failure_prediction_enabled},
    {"fixed", &stats_entry::fixed},
    {"flap_detection_enabled", &stats_entry::flap_detection_enabled},
    {"flex_downtime_start", &stats_entry::flex_downtime_start},
    {"has_been_checked", &stats_entry::has_been_checked},
    {"host_name", &stats_entry::host_name},
    {"host_notification_period", &stats_entry::host_notification_period},
    {"is_flapping", &stats_entry::is_flapping},
    {"last_check", &stats_entry::last_check},
    {"last_event_id", &stats_entry::last_event_id},
    {"last_hard_state", &stats_entry::last_hard_state},
    {"last_hard_state_change", &stats_entry::last_hard_state_change},
    {"last_notification", &stats_entry::last_notification},
    {"last_problem_id", &stats_entry::last_problem_id},
    {"last_state_change", &stats_entry::last_state_change},
    {"last_time_critical", &stats_entry::last_time_critical},
    {"last_time_down", &stats_entry::last_time_down},
    {"last_time_ok", &stats_entry::last_time_ok},
    {"last_time_unknown", &stats_entry::last_time_unknown},
    {"last_time_unreachable", &stats_entry::last_time_unreachable},
    {"last_time_up", &stats_entry::last_time_up},
    {"last_time_warning", &stats_entry::last_time_warning},
    {"last_update", &stats_entry::last_update},
    {"long_plugin_output", &stats_entry::long_plugin_output},
    {"max_attempts", &stats_entry::max_attempts},
    {"modified_attributes", &stats_entry::modified_attributes},
    {"next_check", &stats_entry::next_check},
    {"next_comment_id", &stats_entry::next_comment_id},
    {"next_notification", &stats_entry::next_notification},
    {"no_more_notifications", &stats_entry::no_more_notifications},
    {"notification_period", &stats_entry::notification_period},
    {"notifications_enabled", &stats_entry::notifications_enabled},
    {"obsess_over_host", &stats_entry::obsess_over_host},
    {"obsess_over_service", &stats_entry::obsess_over_service},
    {"passive_checks_enabled", &stats_entry::passive_checks_enabled},
    {"percent_state_change", &stats_entry::percent_state_change},
    {"performance_data", &stats_entry::performance_data},
    {"persistent", &stats_entry::persistent},
    {"plugin_output", &stats_entry::plugin_output},
    {"problem_has_been_acknowledged", &stats_entry::problem_has_been_acknowledged},
    {"process_performance_data", &stats_entry::process_performance_data},
    {"retry_interval", &stats_entry::retry_interval},
    {"scheduled_downtime_depth", &stats_entry::scheduled_downtime_depth},
    {"service_description", &stats_entry::service_description},
    {"should_be_scheduled", &stats_entry::should_be_scheduled},
    {"source", &stats_entry::source},
    {"start_time", &stats_entry::start_time},
    {"state_type", &stats_entry::state_type},
    {"triggered_by", &stats_entry::triggered_by},
    {"type", &stats_entry::type},
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

// Kept sorted, so that the table reads like the reference it is.
static_assert(table_is_sorted(), "the key table is kept in byte-wise order");

constexpr bool keys_fit_their_words() {
  for (const status_key &row : status_key_table)
    if (row.length > status_key::longest_key) return false;
  return true;
}

static_assert(keys_fit_their_words(), "a key and its `=` fit four words");

// Keys that today's writers put into host, service, comment and downtime
// blocks and that the watcher has no use for. Reporting them would print
// lines for every host and service on every poll.
constexpr const char *ignored_keys[] = {
    // Nagios 3 and 4
    "event_handler_period",
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
constexpr int32_t ignored_key_count = sizeof ignored_keys / sizeof ignored_keys[0];

// Every known key, stored or ignored, in one open-addressing hash table;
// stored keys are numbered first, by their row.
constexpr size_t key_slot_count = 512;
static_assert(2 * (status_key_count + ignored_key_count) < key_slot_count,
              "the table stays at most half full");

constexpr const char *known_key(int32_t number) {
  return number < status_key_count ? status_key_table[number].key
                                   : ignored_keys[number - status_key_count];
}

// Known keys differ in their length and in their first, middle and last
// bytes often enough that these make a good hash at a fraction of the cost
// of one over every byte.
constexpr uint32_t hash_key(const char *key, size_t length) {
  if (length == 0) return 0;
  auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(key[i])); };
  uint32_t mixed = static_cast<uint32_t>(length) ^ byte(0) << 8 ^ byte(length / 2) << 16 ^
                   byte(length - 1) << 24;
  return (mixed * 2654435761u) >> 7;
}

// A slot of the hash table: a known key, its length and its number.
struct key_slot {
  const char *key = nullptr;
  size_t length = 0;
  int32_t number = -1;
};

constexpr std::array<key_slot, key_slot_count> make_key_slots() {
  std::array<key_slot, key_slot_count> slots{};
  for (int32_t number = 0; number < status_key_count + ignored_key_count; number++) {
    const char *key = known_key(number);
    size_t length = status_key::length_of(key);
    size_t slot = hash_key(key, length) & (key_slot_count - 1);
    while (slots[slot].key != nullptr) slot = (slot + 1) & (key_slot_count - 1);
    slots[slot] = {key, length, number};
  }
  return slots;
}

constexpr std::array<key_slot, key_slot_count> key_slots = make_key_slots();

// The number of the known key `key` (of `length` bytes), or -1.
int32_t known_key_number(const char *key, size_t length) {
  size_t slot = hash_key(key, length) & (key_slot_count - 1);
  for (;; slot = (slot + 1) & (key_slot_count - 1)) {
    const key_slot &candidate = key_slots[slot];
    if (candidate.key == nullptr) return -1;
    if (candidate.length == length && memcmp(candidate.key, key, length) == 0)
      return candidate.number;
  }
}

}  // namespace

key_lookup look_up_status_key(const char *key, size_t length) {
  // Custom variables: every key with a leading underscore is one.
  if (length > 0 && key[0] == '_') return {nullptr, true};
  int32_t number = known_key_number(key, length);
  if (number < 0) return {nullptr, false};
  if (number < status_key_count) return {&status_key_table[number], false};
  return {nullptr, true};
}
