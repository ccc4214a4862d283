// Releasing stats arrays. Leaks show up when the tests run under
// AddressSanitizer, whose leak checker fails the run.
#include "status/stats_array.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/fatal.h"
#include "support/numbers.h"

namespace {

// Every text field of an entry, in the order they are declared.
char *stats_entry::*const text_fields[] = {
    &stats_entry::host_name,         &stats_entry::service_description,
    &stats_entry::plugin_output,     &stats_entry::performance_data,
    &stats_entry::check_command,     &stats_entry::author,
    &stats_entry::check_period,      &stats_entry::comment_data,
    &stats_entry::host_notification_period, &stats_entry::long_plugin_output,
    &stats_entry::notification_period, &stats_entry::service_notification_period,
    &stats_entry::comment,
};

// An allocated array of `allocated` zeroed entries, of which `count` count.
stats_array array_of(int32_t allocated, int32_t count) {
  stats_array array;
  array.entries = static_cast<stats_entry *>(
      xrealloc(nullptr, array_byte_size(allocated, sizeof(stats_entry)), "stats array"));
  for (int32_t i = 0; i < allocated; i++) clear_stats_entry(&array.entries[i]);
  array.count = count;
  return array;
}

TEST(stats_entry, fresh_entry_is_all_zero) {
  stats_entry entry;
  memset(&entry, 0x5a, sizeof entry);
  clear_stats_entry(&entry);
  for (auto field : text_fields) EXPECT_EQ(nullptr, entry.*field);
  EXPECT_EQ(0, entry.type);
  EXPECT_EQ(0, entry.last_state_change);
  EXPECT_EQ(0.0, entry.scheduled_downtime_depth);
  EXPECT_EQ(0, entry.duration);
}

TEST(stats_entry, release_frees_every_text_of_every_counted_entry) {
  stats_array array = array_of(3, 3);
  for (int32_t i = 0; i < 3; i++)
    for (auto field : text_fields) array.entries[i].*field = xstrdup("text");
  release_stats_array(&array);
  EXPECT_TRUE(is_none(array));
  EXPECT_EQ(0, array.count);
}

TEST(stats_entry, release_of_null_and_empty_arrays) {
  stats_array none;
  release_stats_array(&none);
  none.count = 5;
  release_stats_array(&none);
  // An allocated array with no counted entries is still freed.
  stats_array empty = array_of(128, 0);
  release_stats_array(&empty);
  stats_array negative = array_of(1, -1);
  release_stats_array(&negative);
  stats_array all_null = array_of(2, 2);
  release_stats_array(&all_null);
}

TEST(stats_entry, release_entry_texts_nulls_them) {
  stats_entry entry;
  clear_stats_entry(&entry);
  entry.host_name = xstrdup("db1");
  entry.comment = xstrdup("planned");
  entry.current_state = 2;
  release_entry_texts(&entry);
  EXPECT_EQ(nullptr, entry.host_name);
  EXPECT_EQ(nullptr, entry.comment);
  EXPECT_EQ(2, entry.current_state);
}

}  // namespace
