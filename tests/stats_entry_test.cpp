// Releasing stats arrays. Leaks show up when the tests run under
// AddressSanitizer, whose leak checker fails the run.
#include "status/stats_entry.h"

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

stats_entry *array_of(int32_t count) {
  auto *entries = static_cast<stats_entry *>(
      xrealloc(nullptr, array_byte_size(count, sizeof(stats_entry)), "stats array"));
  for (int32_t i = 0; i < count; i++) clear_stats_entry(&entries[i]);
  return entries;
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
  stats_entry *entries = array_of(3);
  for (int32_t i = 0; i < 3; i++)
    for (auto field : text_fields) entries[i].*field = xstrdup("text");
  release_stats_array(entries, 3);
}

TEST(stats_entry, release_of_null_and_empty_arrays) {
  release_stats_array(nullptr, 0);
  release_stats_array(nullptr, 5);
  // An allocated array with no counted entries is still freed.
  release_stats_array(array_of(128), 0);
  release_stats_array(array_of(1), -1);
  stats_entry *all_null = array_of(2);
  release_stats_array(all_null, 2);
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
