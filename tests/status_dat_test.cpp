// status.dat parsing: block kinds, keys, closing rules, growth, and the real
// files a Nagios 4.4 wrote.
#include "parsers/status_dat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "parser_input.h"
#include "run_program.h"
#include "status_text.h"
#include "watcher/report.h"

namespace {

reading_end parse(const std::string &text, parsed_status *result, bool through_pipe = false) {
  reading_end reading = reading_end::complete;
  parse_text([&](int32_t fd, stats_array *array) { reading = parse_status_dat(fd, array); },
             text, result, through_pipe);
  return reading;
}

TEST(status_dat, spec_host_block_gives_one_host_with_state_raised) {
  parsed_status result;
  parse("host {\n\thost_name=db1\n\tcurrent_state=1\n\tstate_type=1\n\t}\n", &result);
  ASSERT_EQ(1, result.count);
  const stats_entry &host = result.entries[0];
  EXPECT_EQ(entry_host, host.type);
  EXPECT_STREQ("db1", host.host_name);
  EXPECT_EQ(2, host.current_state);
  EXPECT_EQ(1, host.state_type);
  EXPECT_EQ(nullptr, host.service_description);
  EXPECT_EQ(nullptr, host.plugin_output);
  EXPECT_EQ(0, host.last_state_change);
  EXPECT_EQ(0.0, host.scheduled_downtime_depth);
  EXPECT_EQ("", result.out);
}

TEST(status_dat, block_kind_comes_from_the_raw_opening_line) {
  struct {
    const char *opening;
    int32_t type;  // 0: no entry
  } cases[] = {
      {"host {", entry_host},           {"hoststatus {", entry_host},
      {"hosts{", entry_host},           {"hostcommentary {", entry_host},
      {"service {", entry_service},     {"servicestatus {", entry_service},
      {"services {", entry_service},    {"servicedowntimes {", entry_service},
      {"hostcomment {", 0},             {"hostcomment{", 0},
      {"hostdowntime\t{", 0},           {"servicecomment {", 0},
      {"servicedowntime {", 0},         {" hoststatus {", 0},
      {"\tservicestatus {", 0},         {"Host {", 0},
      {"info {", 0},                    {"contactstatus {", 0},
      {"{", 0},                         {"hos {", 0},
      {"servic {", 0},
  };
  for (const auto &c : cases) {
    parsed_status result;
    parse(std::string(c.opening) + "\n\thost_name=a\n\tcurrent_state=3\n\t}\n", &result);
    SCOPED_TRACE(c.opening);
    ASSERT_NE(nullptr, result.entries);
    if (c.type == 0) {
      EXPECT_EQ(0, result.count);
      continue;
    }
    ASSERT_EQ(1, result.count);
    EXPECT_EQ(c.type, result.entries[0].type);
    EXPECT_STREQ("a", result.entries[0].host_name);
    EXPECT_EQ(3, result.entries[0].current_state);
  }
}

// The array is none only when no block opened; the reading is cut short
// when the data ends inside a block of any kind.
TEST(status_dat, where_the_data_ends_decides_the_array_and_the_reading) {
  const reading_end complete = reading_end::complete, cut_short = reading_end::cut_short;
  struct {
    const char *text;
    bool allocated;
    reading_end reading;
  } cases[] = {
      {"", false, complete},
      {"# header\n\n#\n", false, complete},
      {"}\n\thost_name=x\n", false, complete},
      {"\n\n\n", false, complete},
      {"info {\n\tversion=4.4.6\n\t}\nprogramstatus {\n\tnagios_pid=1\n\t}\n", true, complete},
      {"hostcomment {\n\thost_name=a\n\t}\n\tplugin_output={x\n", true, complete},
      {"hoststatus {\n\thost_name=never closed\n", true, cut_short},
      {"hoststatus {\n", true, cut_short},
      {"hoststatus {\n\tplugin_output=a } b\n", true, cut_short},
      {"hoststatus {\n\tplugin_output={x}\n", true, cut_short},
      {"info {\n\tversion=4.4.6\n", true, cut_short},
      {"servicecomment {\n\t}\nservicedowntime {\n\tfoo=1\n\t", true, cut_short},
  };
  for (const auto &c : cases) {
    parsed_status result;
    reading_end reading = parse(c.text, &result);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(0, result.count);
    EXPECT_EQ(c.allocated, result.entries != nullptr);
    EXPECT_EQ(c.reading, reading);
  }
}

TEST(status_dat, unknown_keys_of_host_and_service_blocks_are_reported) {
  struct {
    const char *opening;
    const char *key_line;
    const char *out;
  } cases[] = {
      {"hoststatus", "\tfoo=1", "{foo} ???\n"},
      {"servicestatus", "\tfoo=1", "{foo} ???\n"},
      {"hoststatus", "\thost_name =db1", "{host_name } ???\n"},
      {"hoststatus", "\t# note=x", "{# note} ???\n"},
      {"hoststatus", "\t=5", "{} ???\n"},
      {"hoststatus", "\tobsess =1", "{obsess } ???\n"},
      {"hoststatus", "\tobsess_over=1", "{obsess_over} ???\n"},
      {"hoststatus", "\tHost_name=x", "{Host_name} ???\n"},
      {"hoststatus", " \t  current_state=0", ""},
      {"hoststatus", "current_state=0", ""},
      {"info", "\tfoo=1", ""},
      {"hostcomment", "\tfoo=1", ""},
      {"servicedowntime", "\tfoo=1", ""},
      {"programstatus", "\t# note=x", ""},
  };
  for (const auto &c : cases) {
    parsed_status result;
    parse(std::string(c.opening) + " {\n" + c.key_line + "\n\t}\n", &result);
    SCOPED_TRACE(c.key_line);
    EXPECT_EQ(c.out, result.out);
  }
}

TEST(status_dat, keys_of_todays_writers_are_skipped_silently) {
  const char *keys[] = {"obsess=1",
                        "importance=0",
                        "event_handler_period=24x7",
                        "acknowledgement_end_time=0",
                        "current_down_notification_number=0",
                        "is_reachable=1",
                        "last_time_warn=1765212540",
                        "_OWNER=0;alice",
                        "_=x",
                        "_RACK=0;r1{2}"};
  for (const char *key : keys) {
    for (const char *opening : {"hoststatus", "servicestatus"}) {
      parsed_status result;
      parse(dat_block(opening, {"host_name=h", key, "current_state=3"}), &result);
      SCOPED_TRACE(std::string(opening) + " " + key);
      EXPECT_EQ("", result.out);
      ASSERT_EQ(1, result.count);
      EXPECT_STREQ("h", result.entries[0].host_name);
      EXPECT_EQ(3, result.entries[0].current_state);
    }
  }
}

TEST(status_dat, closing_sets_type_and_raises_only_host_state_one) {
  struct {
    const char *opening;
    const char *state;
    int32_t stored;
  } cases[] = {
      {"hoststatus", "1", 2},    {"hoststatus", "0", 0},    {"hoststatus", "2", 2},
      {"hoststatus", "3", 3},    {"hoststatus", "-1", -1},  {"servicestatus", "1", 1},
      {"servicestatus", "2", 2}, {"hostcommentary", "1", 2},
  };
  for (const auto &c : cases) {
    parsed_status result;
    parse(dat_block(c.opening, {std::string("current_state=") + c.state, "type=7"}), &result);
    SCOPED_TRACE(std::string(c.opening) + " " + c.state);
    ASSERT_EQ(1, result.count);
    EXPECT_EQ(c.stored, result.entries[0].current_state);
    EXPECT_EQ(c.opening[0] == 'h' ? entry_host : entry_service, result.entries[0].type);
  }
}

TEST(status_dat, values_are_read_by_kind_with_prefix_semantics) {
  parsed_status result;
  parse(dat_block("servicestatus",
              {"plugin_output= spaced out \r", "current_state=  7 apples",
               "current_attempt=4294967297", "max_attempts=99999999999999999999",
               "last_state_change=99999999999", "last_check=-5", "next_check=x",
               "percent_state_change=nan", "check_latency=1.5e3",
               "scheduled_downtime_depth=inf", "check_interval=", "performance_data=",
               "event_handler=notify-by-pager"}),
        &result);
  ASSERT_EQ(1, result.count);
  const stats_entry &e = result.entries[0];
  EXPECT_STREQ(" spaced out \r", e.plugin_output);
  EXPECT_EQ(7, e.current_state);
  EXPECT_EQ(1, e.current_attempt);
  EXPECT_EQ(-1, e.max_attempts);
  EXPECT_EQ(INT64_C(99999999999), e.last_state_change);
  EXPECT_EQ(-5, e.last_check);
  EXPECT_EQ(0, e.next_check);
  EXPECT_TRUE(std::isnan(e.percent_state_change));
  EXPECT_EQ(1500.0, e.check_latency);
  EXPECT_TRUE(std::isinf(e.scheduled_downtime_depth));
  EXPECT_EQ(0.0, e.check_interval);
  EXPECT_STREQ("", e.performance_data);
  EXPECT_EQ(0, e.event_handler);
  EXPECT_EQ(nullptr, e.service_notification_period);
}

TEST(status_dat, braces_inside_values_keep_the_block) {
  const char *values[] = {
      "plugin_output={\"status\":\"lagging\",\"threshold\":{\"warn\":30}}",
      "plugin_output=DISK WARNING {mount: /, fs=ext4} }extra{ a=b",
      "long_plugin_output=first\\nhoststatus {\\n",
      "plugin_output=}",
      "performance_data={",
  };
  for (const char *value : values) {
    parsed_status result;
    parse(dat_block("servicestatus", {"host_name=web1", value, "current_state=1"}) +
              dat_block("hoststatus", {"host_name=web2"}),
          &result);
    SCOPED_TRACE(value);
    ASSERT_EQ(2, result.count);
    const stats_entry &service = result.entries[0];
    EXPECT_EQ(entry_service, service.type);
    EXPECT_STREQ("web1", service.host_name);
    EXPECT_EQ(1, service.current_state);
    std::string stored = std::string(value).substr(std::string(value).find('=') + 1);
    EXPECT_TRUE(text_of(service.plugin_output) == stored ||
                text_of(service.long_plugin_output) == stored ||
                text_of(service.performance_data) == stored);
    EXPECT_STREQ("web2", result.entries[1].host_name);
  }
}

TEST(status_dat, an_opening_line_inside_a_block_discards_it) {
  // The texts of the discarded block are released: LeakSanitizer would
  // report them otherwise.
  parsed_status result;
  parse("hoststatus {\n\thost_name=lost\n\tplugin_output=gone\n"
        "servicestatus {\n\thost_name=kept\n\tservice_description=s\n\t}\n",
        &result);
  ASSERT_EQ(1, result.count);
  EXPECT_EQ(entry_service, result.entries[0].type);
  EXPECT_STREQ("kept", result.entries[0].host_name);
  EXPECT_EQ(nullptr, result.entries[0].plugin_output);
}

TEST(status_dat, an_indented_opening_line_discards_the_block_and_its_keys) {
  parsed_status result;
  parse("hoststatus {\n\thost_name=lost\n  hostcomment {\n\tfoo=1\n\t}\n" +
            dat_block("hoststatus", {"host_name=next"}),
        &result);
  EXPECT_EQ("", result.out);
  ASSERT_EQ(1, result.count);
  EXPECT_STREQ("next", result.entries[0].host_name);
}

TEST(status_dat, a_text_set_twice_keeps_the_later_value) {
  parsed_status result;
  parse(dat_block("hoststatus", {"host_name=first", "plugin_output=a", "host_name=second",
                             "plugin_output=b"}),
        &result);
  ASSERT_EQ(1, result.count);
  EXPECT_STREQ("second", result.entries[0].host_name);
  EXPECT_STREQ("b", result.entries[0].plugin_output);
}

TEST(status_dat, a_line_with_equals_and_closing_brace_is_a_key_line) {
  parsed_status result;
  parse("hoststatus {\n\tplugin_output=a } b\n\thost_name=h\n\t}\n", &result);
  ASSERT_EQ(1, result.count);
  EXPECT_STREQ("a } b", result.entries[0].plugin_output);
  EXPECT_STREQ("h", result.entries[0].host_name);
}

TEST(status_dat, other_blocks_between_hosts_reuse_their_slot) {
  parsed_status result;
  parse(dat_block("hoststatus", {"host_name=a"}) + dat_block("contactstatus", {"host_name=c"}) +
            dat_block("hostcomment", {"host_name=a", "comment_data=x"}) + "stray line\n}\n" +
            dat_block("servicedowntime", {"host_name=b", "trigger_time=0"}) +
            dat_block("servicestatus", {"host_name=b"}),
        &result);
  ASSERT_EQ(2, result.count);
  EXPECT_STREQ("a", result.entries[0].host_name);
  EXPECT_STREQ("b", result.entries[1].host_name);
  EXPECT_EQ(entry_service, result.entries[1].type);
}

// Nagios 4 writes every depth as 0 for a second after a start, before it
// puts its kept downtimes back into effect: a downtime block whose span holds
// the time its host or service was written (here 1000) counts all the same.
TEST(status_dat, downtime_blocks_say_when_they_are_in_effect) {
  struct {
    const char *block;
    std::vector<std::string> keys;
    bool host_in_downtime, service_in_downtime;
  } cases[] = {
      {"servicedowntime", {"fixed=1", "start_time=900", "end_time=1100"}, false, true},
      {"servicedowntime", {"fixed=1", "start_time=1000", "end_time=1100", "new_key=1"}, false,
       true},
      {"servicedowntime", {"fixed=1", "start_time=900", "end_time=1000"}, false, false},
      {"servicedowntime", {"fixed=1", "start_time=1001", "end_time=1100"}, false, false},
      {"hostdowntime", {"fixed=1", "start_time=900", "end_time=1100"}, true, false},
      // A flexible one only from its beginning, for its duration.
      {"servicedowntime", {"fixed=0", "start_time=900", "end_time=1100", "duration=60"}, false,
       false},
      {"servicedowntime", {"fixed=0", "flex_downtime_start=950", "duration=60"}, false, true},
      {"servicedowntime", {"fixed=0", "flex_downtime_start=900", "duration=100"}, false, false},
      {"servicedowntime",
       {"fixed=0", "flex_downtime_start=9223372036854775000", "duration=2000000"}, false, false},
      // One that waits for another is left to the depth Nagios writes.
      {"servicedowntime",
       {"fixed=1", "start_time=900", "end_time=1100", "triggered_by=3"}, false, false},
      {"servicedowntime",
       {"service_description=other", "fixed=1", "start_time=900", "end_time=1100"}, false,
       false},
  };
  for (const auto &c : cases) {
    std::vector<std::string> keys = {"host_name=h"};
    if (c.block == std::string("servicedowntime")) keys.push_back("service_description=s");
    keys.insert(keys.end(), c.keys.begin(), c.keys.end());
    parsed_status result;
    parse(dat_block("hoststatus", {"host_name=h", "last_update=1000"}) +
              dat_block("servicestatus", {"host_name=h", "service_description=s", "last_update=1000"}) +
              dat_block(c.block, keys),
          &result);
    SCOPED_TRACE(c.block + (" " + keys.back()));
    EXPECT_EQ("", result.out);
    ASSERT_EQ(2, result.count);
    EXPECT_EQ(c.host_in_downtime, has_downtime_in_effect(&result.array, 0));
    EXPECT_EQ(c.service_in_downtime, has_downtime_in_effect(&result.array, 1));
  }
}

TEST(status_dat, array_grows_past_128_and_256_entries) {
  for (int through_pipe = 0; through_pipe < 2; through_pipe++) {
    std::string text;
    for (int i = 0; i < 300; i++) {
      text += dat_block(i % 2 ? "servicestatus" : "hoststatus",
                    {"host_name=h" + std::to_string(i), "current_state=" + std::to_string(i % 4)});
      text += dat_block("info", {"created=1"});
    }
    parsed_status result;
    parse(text, &result, through_pipe != 0);
    ASSERT_EQ(300, result.count);
    for (int i : {0, 127, 128, 129, 255, 256, 299}) {
      const stats_entry &e = result.entries[i];
      EXPECT_EQ("h" + std::to_string(i), text_of(e.host_name));
      EXPECT_EQ(i % 2 ? entry_service : entry_host, e.type);
      int32_t state = i % 4;
      if (i % 2 == 0 && state == 1) state = 2;
      EXPECT_EQ(state, e.current_state);
    }
  }
}

// One row of a fixture README table.
struct expected_entry {
  std::string block, host, service;
  std::vector<std::string> numbers;  // state, state type, ack, depth, notifications
  std::string checks;                // "active/passive"
};

// The table under the README section for `file`.
std::vector<expected_entry> readme_table(const std::string &file) {
  std::istringstream readme(fixture("nagios4/README.md"));
  std::string line;
  while (std::getline(readme, line) && line != "## " + file) {
  }
  std::vector<expected_entry> rows;
  while (std::getline(readme, line) && line.compare(0, 3, "## ") != 0) {
    if (line.compare(0, 2, "| ") != 0 || line.compare(0, 7, "| block") == 0) continue;
    std::vector<std::string> cells;
    std::string::size_type start = 1;
    for (std::string::size_type bar; (bar = line.find('|', start)) != std::string::npos;
         start = bar + 1) {
      std::string cell = line.substr(start, bar - start);
      cells.push_back(cell.substr(1, cell.size() - 2));
    }
    rows.push_back({cells[0], cells[1], cells[2],
                    {cells[3], cells[4], cells[5], cells[6], cells[7]}, cells[8]});
  }
  return rows;
}

TEST(status_dat, real_nagios4_files_match_their_description) {
  for (const char *file : {"status-all-ok.dat", "status-odd-outputs.dat",
                           "status-host-down.dat", "status-acks-downtime.dat"}) {
    SCOPED_TRACE(file);
    std::vector<expected_entry> rows = readme_table(file);
    // The table lists comment and downtime blocks too, without a state:
    // they give no entry.
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const expected_entry &row) { return row.numbers[0].empty(); }),
               rows.end());
    ASSERT_EQ(34u, rows.size());
    parsed_status result;
    parse(fixture(std::string("nagios4/") + file), &result);
    EXPECT_EQ("", result.out);
    ASSERT_EQ(static_cast<int32_t>(rows.size()), result.count);
    for (size_t i = 0; i < rows.size(); i++) {
      const expected_entry &row = rows[i];
      const stats_entry &e = result.entries[i];
      SCOPED_TRACE(row.host + "/" + row.service);
      bool is_host = row.block.compare(0, 4, "host") == 0;
      EXPECT_EQ(is_host ? entry_host : entry_service, e.type);
      EXPECT_EQ(row.host, text_of(e.host_name));
      EXPECT_EQ(is_host ? "(null)" : row.service, text_of(e.service_description));
      int32_t state = std::stoi(row.numbers[0]);
      EXPECT_EQ(is_host && state == 1 ? 2 : state, e.current_state);
      EXPECT_EQ(std::stoi(row.numbers[1]), e.state_type);
      EXPECT_EQ(std::stoi(row.numbers[2]), e.problem_has_been_acknowledged);
      EXPECT_EQ(std::stod(row.numbers[3]), e.scheduled_downtime_depth);
      EXPECT_EQ(std::stoi(row.numbers[4]), e.notifications_enabled);
      EXPECT_EQ(row.checks, std::to_string(e.active_checks_enabled) + "/" +
                                std::to_string(e.passive_checks_enabled));
      EXPECT_NE(nullptr, e.plugin_output);
    }
  }
}

TEST(status_dat, real_outputs_with_braces_and_utf8_are_kept_whole) {
  parsed_status result;
  parse(fixture("nagios4/status-odd-outputs.dat"), &result);
  auto find = [&](const char *host, const char *service) -> const stats_entry * {
    for (int32_t i = 0; i < result.count; i++)
      if (text_of(result.entries[i].host_name) == host &&
          text_of(result.entries[i].service_description) == service)
        return &result.entries[i];
    return nullptr;
  };
  const stats_entry *lag = find("db1", "Replication Lag");
  ASSERT_NE(nullptr, lag);
  EXPECT_STREQ("{\"status\":\"lagging\",\"lag_seconds\":42,\"threshold\":{\"warn\":30,\"crit\":120}}",
               lag->plugin_output);
  const stats_entry *disk = find("web1", "Disk /");
  ASSERT_NE(nullptr, disk);
  EXPECT_STREQ("DISK WARNING - free space: / 812 MiB (8% inode=61%): {mount: /, fs=ext4} }extra{ a=b=c:",
               disk->plugin_output);
  const stats_entry *backup = find("db1", "Backup Age");
  ASSERT_NE(nullptr, backup);
  EXPECT_NE(nullptr, strstr(backup->long_plugin_output, "hoststatus {"));
  EXPECT_NE(nullptr, find("lab-pc", "Température CPU"));
}

}  // namespace
