// Fresh entries, releasing stats arrays and the arena of their texts.
#include "status/stats_array.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "run_program.h"
#include "sanitizers.h"
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

// An allocated array of `allocated` entries, of which the first `count`
// count and are zeroed.
stats_array array_of(int32_t allocated, int32_t count) {
  stats_array array;
  array.entries = static_cast<stats_entry *>(
      xrealloc(nullptr, array_byte_size(allocated, sizeof(stats_entry)), "stats array"));
  for (int32_t i = 0; i < count; i++) clear_stats_entry(&array.entries[i]);
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

// Arrays are built and released again and again in a child whose address
// space holds only a few of them: what a release leaves allocated soon
// exhausts it, and the child ends with status 1 instead of 0.
TEST(stats_array, release_returns_the_memory_of_every_array) {
  const int32_t allocated = 1 << 17;  // about 60 MB, never touched
  struct {
    const char *name;
    int32_t count;
    size_t text_size;  // of a text held by the first entry
  } shapes[] = {
      {"entries and their texts", 1000, size_t{32} << 20},
      {"allocated, none counted", 0, 0},
      {"negative count", -1, 0},
  };
  for (const auto &shape : shapes) {
    program_result result = run_forked([&] {
      std::string text(shape.text_size, 't');
#ifndef SENTREL_ASAN  // whose shadow memory cannot live under a limit
      rlimit limit = {rlim_t{512} << 20, rlim_t{512} << 20};
      setrlimit(RLIMIT_AS, &limit);
#endif
      for (int round = 0; round < 20; round++) {
        stats_array array = array_of(allocated, shape.count);
        if (shape.text_size > 0)
          array.entries[0].plugin_output = arena_copy(&array.texts, text.data(), text.size());
        release_stats_array(&array);
        if (was_read(array) || array.count != 0 || array.texts.block != nullptr) _exit(2);
      }
    });
    EXPECT_EQ(0, result.exit_status) << shape.name << ": " << result.err.substr(0, 100);
  }
}

TEST(stats_array, release_of_a_none_array_leaves_it_none) {
  stats_array none;
  none.count = 5;
  release_stats_array(&none);
  EXPECT_FALSE(was_read(none));
  EXPECT_EQ(0, none.count);
  release_stats_array(&none);
  EXPECT_FALSE(was_read(none));
}

// A rewound arena reuses its blocks for the texts of the next round.
TEST(text_arena, copies_outlive_later_blocks_and_stop_at_the_length) {
  text_arena arena;
  std::string big(5000, 'x');  // larger than a first block
  for (int round = 0; round < 2; round++) {
    std::vector<std::pair<const char *, std::string>> copies;
    for (int i = 0; i < 200000; i++) {
      std::string text = i % 500 == 7 ? big : "text " + std::to_string(i + round);
      copies.push_back({arena_copy(&arena, text.c_str(), text.size()), text});
    }
    copies.push_back({arena_copy(&arena, "cut here", 3), "cut"});
    copies.push_back({arena_copy(&arena, "", 0), ""});
    for (const auto &copy : copies) ASSERT_EQ(copy.second, copy.first);
    rewind_text_arena(&arena);
  }
  EXPECT_NE(nullptr, arena.spare);
  release_text_arena(&arena);
  EXPECT_EQ(nullptr, arena.block);
}

}  // namespace
