// The fast paths give the answers of the plain rules: random sites of both
// formats, polled with duplicates, reorderings, entries that come and go,
// down hosts and unknown states, are parsed field for field as written, and
// each poll reports what a literal walk over the arrays reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "parser_input.h"
#include "parsers/status_dat.h"
#include "parsers/status_log.h"
#include "status_text.h"
#include "watcher/report.h"

namespace {

// A small generator of our own, so the inputs are the same everywhere.
struct random_source {
  uint64_t state;
  uint32_t below(uint32_t bound) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return static_cast<uint32_t>(state >> 33) % bound;
  }
  bool chance(uint32_t percent) { return below(100) < percent; }
};

struct record {
  bool is_host;
  std::string host, service;
  int32_t state, state_type, acknowledged, notifications;
  double downtime;
};

const char *const service_texts[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

// status.dat: host and service blocks, their keys in a random order, now and
// then an unknown key that the expected one begins, comments among them.
std::string as_status_dat(const std::vector<record> &site, random_source *random,
                          int *unknown_keys) {
  std::string text = "info {\n\tversion=4.4.6\n\t}\n";
  for (const record &r : site) {
    std::vector<std::string> keys = {
        "host_name=" + r.host,
        "current_state=" + std::to_string(r.state),
        "state_type=" + std::to_string(r.state_type),
        "problem_has_been_acknowledged=" + std::to_string(r.acknowledged),
        "notifications_enabled=" + std::to_string(r.notifications),
        "scheduled_downtime_depth=" + std::to_string(r.downtime),
        "active_checks_enabled=1", "plugin_output=out {" + r.host + "}", "obsess=1"};
    if (!r.is_host) keys.push_back("service_description=" + r.service);
    if (random->chance(30)) std::swap(keys[random->below(9)], keys[random->below(9)]);
    if (random->chance(20)) {
      keys.insert(keys.begin() + 2, "state_type_of=7");
      ++*unknown_keys;
    }
    text += dat_block(r.is_host ? "hoststatus" : "servicestatus", keys);
    text.pop_back();  // no blank line after it
    if (random->chance(10)) text += "hostcomment {\n\thost_name=" + r.host + "\n\t}\n";
  }
  return text;
}

// status.log: 21-field host lines and 32-field service lines.
std::string as_status_log(const std::vector<record> &site) {
  std::string text;
  for (const record &r : site) {
    std::vector<std::string> fields(r.is_host ? 21 : 32, "0");
    fields[0] = "[1] " + std::string(r.is_host ? "HOST" : "SERVICE");
    fields[1] = r.host;
    int32_t f = r.is_host ? 2 : 3;
    fields[f] = r.is_host ? (r.state == 0 ? "UP" : "DOWN")
                          : (r.state >= 0 && r.state < 4 ? service_texts[r.state] : "odd");
    if (!r.is_host) fields[2] = r.service, fields[5] = r.state_type ? "HARD" : "SOFT";
    fields[r.is_host ? 5 : 13] = std::to_string(r.acknowledged);
    fields[r.is_host ? 11 : 21] = std::to_string(r.notifications);
    fields[r.is_host ? 13 : 9] = "1";
    fields[r.is_host ? 17 : 27] = std::to_string(static_cast<int>(r.downtime));
    text += log_line(fields);
  }
  return text;
}

// The next poll's site: states change, entries vanish, appear and move.
std::vector<record> next_site(std::vector<record> site, random_source *random, bool log) {
  for (record &r : site) {
    // -1 to 4: codes outside 0 to 3 are what odd input gives.
    if (random->chance(20)) r.state = static_cast<int32_t>(random->below(log ? 5 : 6)) - 1;
    if (r.is_host && r.state != 0) r.state = 2;
    r.state_type = r.is_host && log ? 0 : static_cast<int32_t>(random->chance(70));
    r.acknowledged = random->chance(10);
    r.downtime = random->chance(10) ? 1 : 0;
    // An unknown code ends a first poll that shows it; keep it unnotified.
    r.notifications = r.state < 0 || r.state > 3 ? 0 : !random->chance(5);
  }
  if (!site.empty() && random->chance(30)) site.erase(site.begin() + random->below(static_cast<uint32_t>(site.size())));
  for (int i = 0; i < 3 && !site.empty() && random->chance(40); i++)
    site.push_back(site[random->below(static_cast<uint32_t>(site.size()))]);
  if (random->chance(20)) site.push_back({false, "new", "svc" + std::to_string(random->below(9)), 0, 0, 0, 1, 0});
  if (random->chance(25))
    for (size_t i = site.size(); i > 1; i--) std::swap(site[i - 1], site[random->below(static_cast<uint32_t>(i))]);
  return site;
}

// The literal rules: a walk over the whole array for each question.
struct plain_rules {
  int32_t cursor;

  int32_t find(const stats_array &previous, const stats_entry &entry) {
    for (int32_t k = 0; k < previous.count; k++) {
      int32_t i = static_cast<int32_t>((static_cast<int64_t>(cursor) + k) % previous.count);
      if (same_text(previous.entries[i].host_name, entry.host_name) &&
          same_text(previous.entries[i].service_description, entry.service_description))
        return cursor = i;
    }
    return -1;
  }

  static bool shown_first(const stats_array &current, const stats_entry &e) {
    if (e.state_type != 1) return false;
    for (int32_t i = 0; i < current.count && e.type != entry_host && e.host_name; i++) {
      const stats_entry &h = current.entries[i];
      if (h.type != entry_service && (h.current_state == 1 || h.current_state == 2) &&
          h.host_name && same_text(h.host_name, e.host_name))
        return false;
    }
    return !(e.active_checks_enabled == 0 && e.passive_checks_enabled == 0) &&
           e.scheduled_downtime_depth == 0.0 && e.notifications_enabled != 0 &&
           e.problem_has_been_acknowledged != 1 && e.current_state != 0;
  }
};

// The reported indices of a poll, by the watcher and by the plain rules;
// the reports the watcher prints must be those of the plain rules too.
void decide(stats_array *current, stats_array *previous, plain_rules *plain, bool hard_only,
            std::string *fast, std::string *literal) {
  int32_t start_cursor = lookup_cursor;
  std::string reports = captured_stdout([&] {
    for (int32_t i = 0; i < current->count; i++)
      report_entry(current, i, previous, hard_only, report_layout::one_line);
  });
  int32_t end_cursor = lookup_cursor;
  lookup_cursor = start_cursor;
  std::string expected;
  for (int32_t i = 0; i < current->count; i++) {
    const stats_entry &e = current->entries[i];
    bool by_fast, by_plain;
    if (!was_read(*previous)) {
      by_fast = show_on_first_poll(current, i, false, false, false, true);
      by_plain = plain_rules::shown_first(*current, e);
    } else {
      int32_t a = find_previous_entry(previous, e.host_name, e.service_description);
      int32_t b = plain->find(*previous, e);
      by_fast = a < 0 || changed_since_previous(&previous->entries[a], &e, hard_only);
      by_plain = b < 0 || changed_since_previous(&previous->entries[b], &e, hard_only);
      *fast += std::to_string(a) + ":";
      *literal += std::to_string(b) + ":";
    }
    *fast += by_fast ? std::to_string(i) + " " : "- ";
    *literal += by_plain ? std::to_string(i) + " " : "- ";
    if (by_plain)
      expected += captured_stdout([&] { print_report_line(&e, report_layout::one_line); });
  }
  EXPECT_EQ(expected, reports);
  EXPECT_EQ(end_cursor, lookup_cursor);
}

TEST(same_answers, fast_paths_agree_with_the_plain_rules_on_random_sites) {
  random_source random{20261209};
  for (int round = 0; round < 40; round++) {
    bool log = round % 2 == 1;
    std::vector<record> site;
    for (int h = 0, hosts = 1 + static_cast<int>(random.below(6)); h < hosts; h++) {
      // Now and then names too long for a lookup slot of their own.
      std::string host = std::string(round % 3 == 2 ? 44 : 0, 'l') + "h" + std::to_string(h);
      site.push_back({true, host, "", 0, 1, 0, 1, 0});
      for (int s = 0, services = static_cast<int>(random.below(5)); s < services; s++)
        site.push_back({false, host, "s" + std::to_string(s), 0, 1, 0, 1, 0});
    }
    parsed_status previous;
    lookup_cursor = static_cast<int32_t>(random.below(50));
    plain_rules plain{lookup_cursor};
    for (int poll = 0; poll < 12; poll++) {
      site = next_site(site, &random, log);
      int unknown_keys = 0;
      std::string text = log ? as_status_log(site) : as_status_dat(site, &random, &unknown_keys);
      parsed_status current;
      parse_text(
          [&](int32_t fd, stats_array *array) {
            if (log)
              parse_status_log(fd, array);
            else
              EXPECT_EQ(reading_end::complete, parse_status_dat(fd, array));
          },
          text, &current);
      std::string reported;
      for (int i = 0; i < unknown_keys; i++) reported += "{state_type_of} ???\n";
      EXPECT_EQ(reported, current.out);
      ASSERT_EQ(static_cast<int32_t>(site.size()), current.count) << text;
      for (size_t i = 0; i < site.size(); i++) {
        const stats_entry &e = current.entries[i];
        EXPECT_EQ(site[i].host, e.host_name) << text;
        EXPECT_EQ(site[i].state, e.current_state) << text;
        EXPECT_EQ(site[i].state_type, e.state_type) << text;
        EXPECT_EQ(site[i].acknowledged, e.problem_has_been_acknowledged) << text;
      }
      std::string fast, literal;
      decide(&current.array, &previous.array, &plain, random.chance(50), &fast, &literal);
      ASSERT_EQ(literal, fast) << "round " << round << " poll " << poll << "\n" << text;
      ASSERT_EQ(plain.cursor, lookup_cursor);
      release_stats_array(&previous.array);
      if (!random.chance(15)) std::swap(previous.array, current.array);
    }
  }
}

}  // namespace
