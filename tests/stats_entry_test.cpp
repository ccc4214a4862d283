// Fresh entries, releasing stats arrays and the arena of their texts. Leaks
// show up when the tests run under AddressSanitizer, whose leak checker fails
// the run.
#include "status/stats_array.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

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

TEST(stats_array, release_frees_entries_and_texts) {
  stats_array array = array_of(3, 3);
  for (int32_t i = 0; i < 3; i++)
    for (auto field : text_fields) array.entries[i].*field = arena_copy(&array.texts, "text", 4);
  release_stats_array(&array);
  EXPECT_TRUE(is_none(array));
  EXPECT_EQ(0, array.count);
  EXPECT_EQ(nullptr, array.texts.block);
}

TEST(stats_array, release_of_none_and_empty_arrays) {
  stats_array none;
  release_stats_array(&none);
  none.count = 5;
  release_stats_array(&none);
  EXPECT_EQ(0, none.count);
  // An allocated array with no counted entries is still freed.
  stats_array empty = array_of(128, 0);
  release_stats_array(&empty);
  stats_array negative = array_of(1, -1);
  release_stats_array(&negative);
  EXPECT_TRUE(is_none(negative));
}

TEST(text_arena, copies_outlive_later_blocks_and_stop_at_the_length) {
  text_arena arena;
  std::string big(5000, 'x');  // larger than a first block
  std::vector<std::pair<const char *, std::string>> copies;
  for (int i = 0; i < 2000; i++) {
    std::string text = i % 500 == 7 ? big : "text " + std::to_string(i);
    copies.push_back({arena_copy(&arena, text.c_str(), text.size()), text});
  }
  copies.push_back({arena_copy(&arena, "cut here", 3), "cut"});
  copies.push_back({arena_copy(&arena, "", 0), ""});
  for (const auto &copy : copies) EXPECT_EQ(copy.second, copy.first);
  release_text_arena(&arena);
  EXPECT_EQ(nullptr, arena.block);
}

}  // namespace
