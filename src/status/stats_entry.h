// The record kept for each host or service of one poll. Field names are the status.dat keys; a fresh
// entry is all zero (null texts) and a parser sets only what its input says.
#ifndef SENTREL_STATUS_STATS_ENTRY_H
#define SENTREL_STATUS_STATS_ENTRY_H

#include <cstdint>
#include <cstring>

// Entry kinds held in `type`.
enum : int32_t { entry_host = 1, entry_service = 2 };

// Texts are NUL-terminated strings owned by the entry's array, or null;
// times in the int64_t fields are seconds since the epoch.
struct stats_entry {
  int32_t type;
  char *host_name;
  int32_t current_state;
  char *service_description;
  char *plugin_output;
  int64_t last_state_change;
  int32_t active_checks_enabled;
  int32_t passive_checks_enabled;
  int32_t notifications_enabled;
  int32_t problem_has_been_acknowledged;
  double scheduled_downtime_depth;
  int32_t state_type;
  int32_t last_hard_state;
  double percent_state_change;
  double check_execution_time;
  double check_latency;
  int32_t modified_attributes;
  int32_t event_handler;
  int32_t has_been_checked;
  int32_t should_be_scheduled;
  int32_t current_attempt;
  int32_t max_attempts;
  int32_t last_hard_state_change;
  int32_t last_time_ok;
  int32_t last_time_warning;
  int32_t last_time_unknown;
  int32_t last_time_critical;
  int64_t last_check;
  int64_t next_check;
  int32_t check_type;
  double current_notification_number;
  int32_t last_notification;
  int32_t next_notification;
  int32_t no_more_notifications;
  int32_t event_handler_enabled;
  int32_t acknowledgement_type;
  int32_t flap_detection_enabled;
  int32_t failure_prediction_enabled;
  int32_t process_performance_data;
  int32_t obsess_over_service;
  int32_t obsess_over_host;
  int64_t last_update;
  int32_t is_flapping;
  char *performance_data;
  char *check_command;
  int32_t last_time_up;
  int32_t last_time_down;
  int32_t last_time_unreachable;
  char *author;
  double check_interval;
  int32_t check_options;
  char *check_period;
  char *comment_data;
  int32_t comment_id;
  int32_t current_event_id;
  int32_t current_notification_id;
  int32_t current_problem_id;
  int64_t entry_time;
  int32_t entry_type;
  int32_t expires;
  int64_t expire_time;
  char *host_notification_period;
  int32_t last_event_id;
  int32_t last_problem_id;
  char *long_plugin_output;
  int32_t next_comment_id;
  char *notification_period;
  int32_t persistent;
  double retry_interval;
  char *service_notification_period;  // no parser fills it
  int32_t source;
  int32_t downtime_id;
  int64_t start_time;
  int64_t end_time;
  int32_t triggered_by;
  int32_t fixed;
  int32_t duration;
  int64_t flex_downtime_start;  // when a flexible downtime began; 0 before
  char *comment;
};

// Whether two texts are equal byte for byte; a missing text equals only
// another missing one.
inline bool same_text(const char *a, const char *b) {
  return a == nullptr || b == nullptr ? a == b : strcmp(a, b) == 0;
}

// Sets every field of `entry` to zero: null texts, 0 numbers.
inline void clear_stats_entry(stats_entry *entry) { *entry = stats_entry{}; }

#endif
