// The report decision's parts in process: the lookup and its cursor, the
// change rule, the first-poll switches, the labels and the report lines.
// Whole polls through the built binary are in polling_loop_test.cpp.
#include "watcher/report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "parser_input.h"

namespace {

// Entries whose texts point at literals; they are never released.
stats_entry make_entry(int32_t type, const char *host, const char *service,
                       int32_t state = 0, int32_t state_type = 1) {
  stats_entry entry{};
  entry.type = type;
  entry.host_name = const_cast<char *>(host);
  entry.service_description = const_cast<char *>(service);
  entry.current_state = state;
  entry.state_type = state_type;
  entry.active_checks_enabled = 1;
  entry.passive_checks_enabled = 1;
  entry.notifications_enabled = 1;
  return entry;
}

stats_entry service(const char *host, const char *name, int32_t state = 0,
                    int32_t state_type = 1) {
  return make_entry(entry_service, host, name, state, state_type);
}

stats_entry host(const char *name, int32_t state = 0, int32_t state_type = 1) {
  return make_entry(entry_host, name, nullptr, state, state_type);
}

// An array over `count` entries the test owns; the groupings that lookups
// build in it are its own and go with it.
stats_array array_over(const stats_entry *entries, int32_t count) {
  stats_array array;
  array.entries = const_cast<stats_entry *>(entries);
  array.count = count;
  return array;
}

stats_array array_over(std::vector<stats_entry> &entries) {
  return array_over(entries.data(), static_cast<int32_t>(entries.size()));
}

// Sets the process's time zone for one test and puts the old one back.
class time_zone {
 public:
  explicit time_zone(const char *zone) {
    const char *old = getenv("TZ");
    had_old_ = old != nullptr;
    if (had_old_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~time_zone() {
    if (had_old_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  bool had_old_ = false;
  std::string old_;
};

TEST(find_previous_entry, searches_from_the_cursor_and_wraps) {
  // The names tell which slot a lookup reached first: "x" sits at several.
  std::vector<stats_entry> five = {service("h", "x"), service("h", "y"),
                                   service("h", "x"), service("h", "x"),
                                   service("h", "z")};
  std::vector<stats_entry> four = {service("h", "x"), service("h", "y"),
                                   service("h", "x"), service("h", "y")};
  struct {
    const char *name;
    std::vector<stats_entry> *entries;
    int32_t cursor;
    const char *service;
    int32_t found;
  } cases[] = {
      {"starts at the cursor itself", &five, 3, "x", 3},
      {"goes on past the cursor", &five, 3, "z", 4},
      {"wraps to the start", &five, 4, "x", 0},
      {"wraps past the start", &five, 4, "y", 1},
      {"first duplicate after the cursor", &five, 1, "x", 2},
      {"cursor past the end counts modulo", &four, 10, "x", 2},
      {"cursor past the end, next slot", &four, 10, "y", 3},
      {"largest cursor", &four, INT32_MAX, "x", 0},  // INT32_MAX % 4 == 3
  };
  for (const auto &c : cases) {
    lookup_cursor = c.cursor;
    stats_array array = array_over(*c.entries);
    EXPECT_EQ(c.found, find_previous_entry(&array, "h", c.service))
        << c.name;
    EXPECT_EQ(c.found, lookup_cursor) << c.name;
  }
}

TEST(find_previous_entry, miss_or_empty_array_keeps_the_cursor) {
  std::vector<stats_entry> entries = {service("h", "x"), host("h")};
  struct {
    const char *name;
    const stats_entry *entries;
    int32_t count;
    const char *host;
    const char *service;
  } cases[] = {
      {"unknown service", entries.data(), 2, "h", "nope"},
      {"unknown host", entries.data(), 2, "other", nullptr},
      {"host names compare case-sensitively", entries.data(), 2, "H", "x"},
      {"zero entries", entries.data(), 0, "h", "x"},
      {"negative count", entries.data(), -5, "h", "x"},
      {"null array", nullptr, 0, "h", "x"},
  };
  for (const auto &c : cases) {
    lookup_cursor = 1;
    stats_array array = array_over(c.entries, c.count);
    EXPECT_EQ(-1, find_previous_entry(&array, c.host, c.service)) << c.name;
    EXPECT_EQ(1, lookup_cursor) << c.name;
  }
}

TEST(find_previous_entry, missing_texts_match_only_missing_texts) {
  // A 1.x host has an empty service, a 2.x host none; a 2.x block without
  // host_name has no host name at all.
  std::vector<stats_entry> entries = {
      service("h", ""), host("h"), service(nullptr, "disk"), host(nullptr),
  };
  struct {
    const char *host;
    const char *service;
    int32_t found;
  } cases[] = {
      {"h", nullptr, 1},
      {"h", "", 0},
      {nullptr, "disk", 2},
      {nullptr, nullptr, 3},
      {"", nullptr, -1},
      {"", "disk", -1},
  };
  for (const auto &c : cases) {
    lookup_cursor = 0;
    stats_array array = array_over(entries);
    EXPECT_EQ(c.found, find_previous_entry(&array, c.host, c.service))
        << (c.host ? c.host : "(none)") << "/" << (c.service ? c.service : "(none)");
  }
}

TEST(changed_since_previous, follows_the_state_type_table) {
  enum { soft = 0, hard = 1, odd = 2 };
  struct {
    int32_t previous_type, previous_state, current_type, current_state;
    bool hard_only_reports, any_change_reports;
  } cases[] = {
      {soft, 1, hard, 1, true, false},   // a WARNING that became HARD
      {soft, 1, hard, 0, false, true},   // a SOFT recovery
      {soft, 0, hard, 2, true, true},
      {soft, 1, soft, 2, false, true},
      {soft, 1, odd, 2, false, true},
      {hard, 2, hard, 0, true, true},
      {hard, 1, hard, 2, true, true},
      {hard, 2, hard, 2, false, false},  // only the output changed
      {hard, 0, soft, 2, false, true},
      {hard, 2, soft, 2, false, false},
      {odd, 0, hard, 2, false, true},
      {odd, 2, odd, 2, false, false},
  };
  for (const auto &c : cases) {
    stats_entry previous = service("h", "s", c.previous_state, c.previous_type);
    stats_entry current = service("h", "s", c.current_state, c.current_type);
    current.plugin_output = const_cast<char *>("something new");
    current.last_state_change = 1234;
    EXPECT_EQ(c.hard_only_reports, changed_since_previous(&previous, &current, true))
        << c.previous_type << "/" << c.previous_state << " -> " << c.current_type
        << "/" << c.current_state;
    EXPECT_EQ(c.any_change_reports, changed_since_previous(&previous, &current, false))
        << c.previous_type << "/" << c.previous_state << " -> " << c.current_type
        << "/" << c.current_state;
  }
}

TEST(show_on_first_poll, switches_let_masked_entries_through) {
  stats_entry down_host = host("h", 2);
  stats_entry masked = service("h", "behind down host", 2);
  stats_entry unchecked = service("g", "no checks", 2);
  unchecked.active_checks_enabled = 0;
  unchecked.passive_checks_enabled = 0;
  stats_entry downtime = service("g", "nan downtime", 2);
  downtime.scheduled_downtime_depth = std::nan("");
  stats_entry silenced = service("g", "silenced", 1);
  silenced.notifications_enabled = 0;
  stats_entry acknowledged = service("g", "acknowledged", 3);
  acknowledged.problem_has_been_acknowledged = 1;
  stats_entry ok = service("g", "ok", 0);
  std::vector<stats_entry> entries = {down_host, masked,   unchecked,   downtime,
                                      silenced,  acknowledged, ok};
  struct {
    int32_t index;
    bool watcher_shows;  // false, false, false, true
    bool shown_with_the_switch_that_unmasks;
  } cases[] = {
      {0, true, true},   // the down host itself
      {1, false, true},  {2, false, true}, {3, false, true},
      {4, false, true},  {5, false, true}, {6, false, true},
  };
  stats_array array = array_over(entries);
  for (const auto &c : cases) {
    EXPECT_EQ(c.watcher_shows, show_on_first_poll(&array, c.index, false, false, false, true))
        << c.index;
    bool include_masked = c.index >= 1 && c.index <= 3;
    bool include_silenced = c.index == 4;
    bool include_acknowledged = c.index == 5;
    bool hide_ok = c.index != 6;
    EXPECT_EQ(c.shown_with_the_switch_that_unmasks,
              show_on_first_poll(&array, c.index, include_masked, include_silenced,
                                 include_acknowledged, hide_ok))
        << c.index;
  }
}

TEST(show_on_first_poll, entries_without_host_name_never_mask_or_get_masked) {
  std::vector<stats_entry> entries = {host(nullptr, 2), service(nullptr, "orphan", 2),
                                      host("h", 2), service("h", "child", 2)};
  stats_array array = array_over(entries);
  EXPECT_TRUE(show_on_first_poll(&array, 1, false, false, false, true));
  EXPECT_FALSE(show_on_first_poll(&array, 3, false, false, false, true));
}

TEST(show_on_first_poll, unknown_state_ends_the_process) {
  std::vector<stats_entry> entries = {service("h", "s", 4)};
  stats_array array = array_over(entries);
  EXPECT_EXIT(show_on_first_poll(&array, 0, false, false, false, true),
              testing::ExitedWithCode(1), "^internal error: state 4 not known: errno=");
}

TEST(state_label, four_codes_and_a_placeholder) {
  struct {
    int32_t state;
    const char *label;
  } cases[] = {
      {0, " OK "},    {1, "WARN"},    {2, "CRIT"},      {3, " ?? "},
      {4, " ?? "},    {-1, " ?? "},   {INT32_MIN, " ?? "}, {INT32_MAX, " ?? "},
  };
  for (const auto &c : cases) EXPECT_STREQ(c.label, state_label(c.state)) << c.state;
}

TEST(print_report_line, both_layouts_in_local_time) {
  stats_entry load = service("db1", "load", 2);
  load.plugin_output = const_cast<char *>("load too high");
  load.last_state_change = 1258985220;  // 2009-11-23 14:07:00 UTC
  stats_entry up = host("db1", 0);
  up.last_state_change = 1258985220;
  stats_entry silent = service("db1", "quiet", 4);
  silent.last_state_change = 1258985220;
  struct {
    const char *zone;
    const stats_entry *entry;
    report_layout layout;
    const char *expected;
  } cases[] = {
      {"UTC", &load, report_layout::two_lines, "2009/11/23 14:07 CRIT db1 load\nload too high\n"},
      {"UTC", &load, report_layout::one_line, "2009/11/23 14:07 CRIT db1 load, load too high\n"},
      {"XST-2", &load, report_layout::one_line, "2009/11/23 16:07 CRIT db1 load, load too high\n"},
      {"XST+15", &load, report_layout::one_line, "2009/11/22 23:07 CRIT db1 load, load too high\n"},
      {"UTC", &up, report_layout::two_lines, "2009/11/23 14:07  OK  db1 \n\n"},
      {"UTC", &silent, report_layout::two_lines, "2009/11/23 14:07  ??  db1 quiet\n\n"},
      {"UTC", &silent, report_layout::one_line, "2009/11/23 14:07  ??  db1 quiet, \n"},
  };
  for (const auto &c : cases) {
    time_zone zone(c.zone);
    EXPECT_EQ(c.expected, captured_stdout([&] { print_report_line(c.entry, c.layout); }))
        << c.zone;
  }
}

TEST(print_report_line, times_the_calendar_cannot_show) {
  time_zone zone("UTC");
  // The last second whose year still fits an int, and the first that does not.
  tm last_year{};
  last_year.tm_year = INT_MAX - 1900;
  last_year.tm_mon = 11;
  last_year.tm_mday = 31;
  last_year.tm_hour = 23;
  last_year.tm_min = 59;
  last_year.tm_sec = 59;
  time_t last_second = timegm(&last_year);
  // Split so that no "??/" trigraph sequence appears in a literal.
  const char unknown_time_line[] = "????" "/??" "/?? ??:?? CRIT h s, out\n";
  ASSERT_NE(static_cast<time_t>(-1), last_second);
  struct {
    int64_t seconds;
    const char *expected;
  } cases[] = {
      {0, "1970/01/01 00:00 CRIT h s, out\n"},
      {-1, "1969/12/31 23:59 CRIT h s, out\n"},
      {last_second, "2147483647/12/31 23:59 CRIT h s, out\n"},
      {static_cast<int64_t>(last_second) + 1, unknown_time_line},
      {INT64_MAX, unknown_time_line},
      {INT64_MIN, unknown_time_line},
  };
  for (const auto &c : cases) {
    stats_entry entry = service("h", "s", 2);
    entry.plugin_output = const_cast<char *>("out");
    entry.last_state_change = c.seconds;
    EXPECT_EQ(c.expected,
              captured_stdout([&] { print_report_line(&entry, report_layout::one_line); }))
        << c.seconds;
  }
}

}  // namespace
