// status.log parsing: splitting, record headers, field counts, conversions
// and the null-versus-empty array rule.
#include "parsers/status_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser_input.h"
#include "status_text.h"

namespace {

void parse(const std::string &text, parsed_status *result, bool through_pipe = false) {
  parse_text(parse_status_log, text, result, through_pipe);
}

// A host record of 21 fields, each field 0..20 holding a distinct value.
std::vector<std::string> host_fields() {
  return {"[1000] HOST", "db1", "UP", "1001", "1002", "1", "1006", "1007", "1008",
          "1009",        "3",   "1",  "1012", "1", "1014", "1015", "12.5", "0",
          "1018",        "x",   "PING OK - 0.2 ms"};
}

// A service record of 32 fields.
std::vector<std::string> service_fields() {
  return {"[2000] SERVICE", "web1", "HTTP", "WARNING", "ignored", "HARD", "2006", "2007",
          "ACTIVE",         "1",    "x",    "2011",    "2012",    "0",    "CRITICAL",
          "2015",           "2016", "2017", "2018",    "2019",    "4",    "1",
          "0.25",           "1.5",  "2024", "2025",    "7.5",     "2",    "2028",
          "x",              "2030", "HTTP WARNING: slow"};
}

TEST(split_fields, cuts_at_separators_up_to_32_fields) {
  struct {
    std::string line;
    int32_t count;
    std::string last;  // text of the last slot
  } cases[] = {
      {"", 1, ""},
      {"a", 1, "a"},
      {"a;b", 2, "b"},
      {";", 2, ""},
      {"a;;", 3, ""},
      {std::string(31, ';') + "end", 32, "end"},
      {std::string(31, ';') + "end;dropped", 32, "end"},
      {std::string(40, ';'), 32, ""},
      // Separators on both sides of a 64-byte boundary, and past a second one.
      {std::string(63, 'a') + ";;" + std::string(70, 'b'), 3, std::string(70, 'b')},
      {std::string(150, ';'), 32, ""},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.line);
    std::string line = c.line;
    char *slots[max_log_fields];
    ASSERT_EQ(c.count, split_fields(&line[0], slots));
    EXPECT_EQ(c.last, slots[c.count - 1]);
    for (int32_t i = c.count; i < max_log_fields; i++) EXPECT_EQ(nullptr, slots[i]);
  }
  std::string line = "x;yy;zzz";
  char *slots[max_log_fields];
  split_fields(&line[0], slots);
  EXPECT_STREQ("x", slots[0]);
  EXPECT_STREQ("yy", slots[1]);
  EXPECT_EQ(&line[5], slots[2]);
}

TEST(status_log, host_record_fills_its_columns) {
  parsed_status result;
  parse(log_line(host_fields()), &result);
  ASSERT_EQ(1, result.count);
  const stats_entry &e = result.entries[0];
  EXPECT_EQ(entry_host, e.type);
  EXPECT_EQ(1000, e.last_update);
  EXPECT_STREQ("db1", e.host_name);
  EXPECT_STREQ("", e.service_description);
  EXPECT_EQ(0, e.current_state);
  EXPECT_EQ(1001, e.last_check);
  EXPECT_EQ(1002, e.last_state_change);
  EXPECT_EQ(1, e.problem_has_been_acknowledged);
  EXPECT_EQ(1006, e.last_time_up);
  EXPECT_EQ(1007, e.last_time_down);
  EXPECT_EQ(1008, e.last_time_unreachable);
  EXPECT_EQ(1009, e.last_notification);
  EXPECT_EQ(3.0, e.current_notification_number);
  EXPECT_EQ(1, e.notifications_enabled);
  EXPECT_EQ(1012, e.event_handler_enabled);
  EXPECT_EQ(1, e.active_checks_enabled);
  EXPECT_EQ(1014, e.flap_detection_enabled);
  EXPECT_EQ(1015, e.is_flapping);
  EXPECT_EQ(12.5, e.percent_state_change);
  EXPECT_EQ(0.0, e.scheduled_downtime_depth);
  EXPECT_EQ(1018, e.failure_prediction_enabled);
  EXPECT_STREQ("PING OK - 0.2 ms", e.plugin_output);
  // Nothing a host line does not carry.
  EXPECT_EQ(0, e.state_type);
  EXPECT_EQ(0, e.last_hard_state);
  EXPECT_EQ(0, e.next_check);
  EXPECT_EQ(0, e.passive_checks_enabled);
  EXPECT_EQ(nullptr, e.performance_data);
  EXPECT_EQ(nullptr, e.check_command);
  EXPECT_EQ(nullptr, e.service_notification_period);
}

TEST(status_log, service_record_fills_its_columns) {
  parsed_status result;
  parse(log_line(service_fields()), &result);
  ASSERT_EQ(1, result.count);
  const stats_entry &e = result.entries[0];
  EXPECT_EQ(entry_service, e.type);
  EXPECT_EQ(2000, e.last_update);
  EXPECT_STREQ("web1", e.host_name);
  EXPECT_STREQ("HTTP", e.service_description);
  EXPECT_EQ(1, e.current_state);
  EXPECT_EQ(1, e.state_type);
  EXPECT_EQ(2006, e.last_check);
  EXPECT_EQ(2007, e.next_check);
  EXPECT_EQ(1, e.check_type);
  EXPECT_EQ(1, e.active_checks_enabled);
  EXPECT_EQ(2011, e.event_handler_enabled);
  EXPECT_EQ(2012, e.last_state_change);
  EXPECT_EQ(0, e.problem_has_been_acknowledged);
  EXPECT_EQ(2, e.last_hard_state);
  EXPECT_EQ(2015, e.last_time_ok);
  EXPECT_EQ(2016, e.last_time_unknown);
  EXPECT_EQ(2017, e.last_time_warning);
  EXPECT_EQ(2018, e.last_time_critical);
  EXPECT_EQ(2019, e.last_notification);
  EXPECT_EQ(4.0, e.current_notification_number);
  EXPECT_EQ(1, e.notifications_enabled);
  EXPECT_EQ(0.25, e.check_latency);
  EXPECT_EQ(1.5, e.check_execution_time);
  EXPECT_EQ(2024, e.flap_detection_enabled);
  EXPECT_EQ(2025, e.is_flapping);
  EXPECT_EQ(7.5, e.percent_state_change);
  EXPECT_EQ(2.0, e.scheduled_downtime_depth);
  EXPECT_EQ(2028, e.failure_prediction_enabled);
  EXPECT_EQ(2030, e.obsess_over_service);
  EXPECT_STREQ("HTTP WARNING: slow", e.plugin_output);
  EXPECT_EQ(0, e.last_time_up);
  EXPECT_EQ(0, e.last_time_down);
  EXPECT_EQ(nullptr, e.performance_data);
}

TEST(status_log, header_names_the_record_and_its_time) {
  struct {
    const char *header;
    bool accepted;
    int64_t time;
  } cases[] = {
      {"[1234] HOST", true, 1234},   {"x1234 HOST", true, 1234},
      {"1234 HOST", true, 234},      {" HOST", true, 0},
      {"[99999999999] HOST", true, INT64_C(99999999999)},
      {"[-7] HOST", true, -7},       {"x1234  HOST", false, 0},
      {"x1234 HOST ", false, 0},     {"x1234 host", false, 0},
      {"x1234\tHOST", false, 0},     {"HOST", false, 0},
      {"x1234 HOSTS", false, 0},     {"x1234 SERVICE", false, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.header);
    std::vector<std::string> fields = host_fields();
    fields[0] = c.header;
    parsed_status result;
    parse(log_line(fields), &result);
    ASSERT_NE(nullptr, result.entries);
    ASSERT_EQ(c.accepted ? 1 : 0, result.count);
    if (c.accepted) {
      EXPECT_EQ(c.time, result.entries[0].last_update);
    }
  }
}

TEST(status_log, field_counts_and_semicolons_in_the_output) {
  struct {
    bool host;
    int32_t extra;  // fields beyond the record's own count (negative: fewer)
    const char *output;
  } cases[] = {
      {true, -1, nullptr},      {true, 0, "out"},        {true, 1, "out;1"},
      {true, 4, "out;1;2;3;4"}, {true, 15, "out;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15"},
      {false, -1, nullptr},     {false, 0, "out"},       {false, 1, "out;1"},
      {false, 5, "out;1;2;3;4;5"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> fields = c.host ? host_fields() : service_fields();
    fields.back() = "out";
    if (c.extra < 0) fields.pop_back();
    for (int i = 1; i <= c.extra; i++) fields.push_back(std::to_string(i));
    SCOPED_TRACE(log_line(fields));
    parsed_status result;
    parse(log_line(fields), &result);
    if (c.output == nullptr) {
      EXPECT_EQ(0, result.count);
      continue;
    }
    ASSERT_EQ(1, result.count);
    EXPECT_STREQ(c.output, result.entries[0].plugin_output);
    EXPECT_EQ(c.host ? "db1" : "web1", text_of(result.entries[0].host_name));
  }
}

TEST(status_log, status_texts_are_compared_whole_and_by_case) {
  struct {
    const char *text;
    int32_t host_state, service_state, last_hard_state;
  } cases[] = {
      {"UP", 0, -1, 0},        {"up", 2, -1, 0},       {"", 2, -1, 0},
      {"DOWN", 2, -1, 0},      {"OK", 2, 0, 0},        {"ok", 2, -1, 0},
      {"WARNING", 2, 1, 1},    {"CRITICAL", 2, 2, 2},  {"UNKNOWN", 2, 3, 3},
      {"PENDING", 2, 3, 0},    {"OK ", 2, -1, 0},      {"UP\r", 2, -1, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> host = host_fields(), service = service_fields();
    host[2] = c.text;
    service[3] = c.text;
    service[14] = c.text;
    parsed_status result;
    parse(log_line(host) + log_line(service), &result);
    ASSERT_EQ(2, result.count);
    EXPECT_EQ(c.host_state, result.entries[0].current_state);
    EXPECT_EQ(c.service_state, result.entries[1].current_state);
    EXPECT_EQ(c.last_hard_state, result.entries[1].last_hard_state);
  }
}

TEST(status_log, state_type_and_check_type_words) {
  struct {
    const char *text;
    int32_t state_type, check_type;
  } cases[] = {
      {"SOFT", 0, 0}, {"soft", 1, 0}, {"HARD", 1, 0}, {"", 1, 0},
      {"ACTIVE", 1, 1}, {"active", 1, 0}, {"PASSIVE", 1, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> service = service_fields();
    service[5] = c.text;
    service[8] = c.text;
    parsed_status result;
    parse(log_line(service), &result);
    ASSERT_EQ(1, result.count);
    EXPECT_EQ(c.state_type, result.entries[0].state_type);
    EXPECT_EQ(c.check_type, result.entries[0].check_type);
  }
}

TEST(status_log, eight_bit_and_int_as_double_conversions) {
  struct {
    const char *text;
    int32_t eight_bit;
    double as_double;
  } cases[] = {
      {"1", 1, 1.0},       {"257", 1, 257.0},  {"255", -1, 255.0},
      {"128", -128, 128.0}, {"-1", -1, -1.0},  {"abc", 0, 0.0},
      {"2.7", 2, 2.0},     {"-3.9", -3, -3.0}, {"4294967298", 2, 2.0},
      {" 12x", 12, 12.0},  {"", 0, 0.0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> host = host_fields();
    host[5] = c.text;
    host[11] = c.text;
    host[13] = c.text;
    host[10] = c.text;
    host[17] = c.text;
    parsed_status result;
    parse(log_line(host), &result);
    ASSERT_EQ(1, result.count);
    const stats_entry &e = result.entries[0];
    EXPECT_EQ(c.eight_bit, e.problem_has_been_acknowledged);
    EXPECT_EQ(c.eight_bit, e.notifications_enabled);
    EXPECT_EQ(c.eight_bit, e.active_checks_enabled);
    EXPECT_EQ(c.as_double, e.current_notification_number);
    EXPECT_EQ(c.as_double, e.scheduled_downtime_depth);
  }
}

TEST(status_log, blanks_and_carriage_returns_stay_in_fields) {
  std::vector<std::string> service = service_fields();
  service[1] = " web1 ";
  service[31] = "OK - fine \r";
  parsed_status result;
  parse(log_line(service), &result);
  ASSERT_EQ(1, result.count);
  EXPECT_STREQ(" web1 ", result.entries[0].host_name);
  EXPECT_STREQ("OK - fine \r", result.entries[0].plugin_output);
}

TEST(status_log, null_array_only_without_data_lines) {
  std::vector<std::string> short_host = host_fields();
  short_host.pop_back();
  struct {
    std::string text;
    bool allocated;
  } cases[] = {
      {"", false},
      {"# one\n#two\n", false},
      {"#" + log_line(host_fields()), false},
      {"\n", true},
      {" # not a comment\n", true},
      {"[1] PROGRAM;1;2\n", true},
      {"# x\n" + log_line(short_host), true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    parsed_status result;
    parse(c.text, &result);
    EXPECT_EQ(0, result.count);
    ASSERT_EQ(c.allocated, result.entries != nullptr);
    // The spare slot of a skipped line is zeroed.
    if (c.allocated) {
      EXPECT_EQ(nullptr, result.entries[0].host_name);
    }
  }
}

TEST(status_log, skipped_lines_between_records_keep_file_order) {
  for (int through_pipe = 0; through_pipe < 2; through_pipe++) {
    std::string text = "# nagios 1.x\n";
    for (int i = 0; i < 500; i++) {
      std::vector<std::string> fields = i % 2 ? service_fields() : host_fields();
      fields[1] = "h" + std::to_string(i);
      text += log_line(fields);
      if (i % 3 == 0) text += "[1] PROGRAM;0;1\n\n";
    }
    parsed_status result;
    parse(text.substr(0, text.size() - 1), &result, through_pipe != 0);  // no final LF
    ASSERT_EQ(500, result.count);
    for (int i : {0, 1, 250, 499}) {
      EXPECT_EQ("h" + std::to_string(i), text_of(result.entries[i].host_name));
      EXPECT_EQ(i % 2 ? entry_service : entry_host, result.entries[i].type);
    }
  }
}

}  // namespace
