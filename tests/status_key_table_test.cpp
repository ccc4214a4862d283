// The status.dat key table: every row is reachable by the binary search,
// near misses are not, and the skipped keys of today's writers are recognised.
#include "parsers/status_key_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const status_key *find_status_key(const char *key, size_t length) {
  return look_up_status_key(key, length).row;
}

bool is_ignored_status_key(const char *key, size_t length) {
  return look_up_status_key(key, length).ignored;
}

TEST(status_key_table, every_row_is_found_by_its_own_key) {
  for (const status_key &row : status_key_table) {
    EXPECT_EQ(&row, find_status_key(row.key, strlen(row.key))) << row.key;
    std::string copy = row.key;  // found by content, not by address
    EXPECT_EQ(&row, find_status_key(copy.data(), copy.size())) << row.key;
  }
}

TEST(status_key_table, rows_have_the_field_of_their_kind) {
  int32_t per_kind[4] = {0, 0, 0, 0};
  for (const status_key &row : status_key_table) per_kind[static_cast<int>(row.field.kind)]++;
  EXPECT_EQ(12, per_kind[static_cast<int>(value_kind::text)]);
  EXPECT_EQ(50, per_kind[static_cast<int>(value_kind::int32)]);
  EXPECT_EQ(9, per_kind[static_cast<int>(value_kind::int64)]);
  EXPECT_EQ(7, per_kind[static_cast<int>(value_kind::floating)]);
}

TEST(status_key_table, near_misses_are_not_found) {
  const char *misses[] = {"",           "a",           "author ",    " author",
                          "autho",      "Author",      "typ",        "types",
                          "zzz",        "\xff",        "obsess",     "importance",
                          "host_nam",   "host_name\r", "_OWNER",     "current_state="};
  for (const char *miss : misses) EXPECT_EQ(nullptr, find_status_key(miss, strlen(miss))) << miss;
}

TEST(status_key_table, keys_of_todays_writers_are_recognised_as_ignored) {
  const char *ignored[] = {
      "obsess", "importance", "is_in_effect", "start_notification_sent",
      "event_handler_period", "acknowledgement_end_time", "problem_start", "problem_end",
      "current_down_notification_number", "current_unreachable_notification_number",
      "current_warning_notification_number", "current_critical_notification_number",
      "current_unknown_notification_number", "check_source", "is_reachable", "last_time_warn",
      "trigger_time", "host_id", "service_id", "_OWNER", "_"};
  for (const char *key : ignored) EXPECT_TRUE(is_ignored_status_key(key, strlen(key))) << key;
  const char *reported[] = {"",        "obsess ",     " obsess",  "Obsess",
                            "importances", "x_OWNER", "# obsess", "obses",
                            "is_reachabl", "host_ids", "last_time_warni", "Check_source"};
  for (const char *key : reported) EXPECT_FALSE(is_ignored_status_key(key, strlen(key))) << key;
}

}  // namespace
