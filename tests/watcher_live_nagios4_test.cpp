// The watcher on the status file of a running Nagios 4, end to end: two
// sentrel processes, one reporting HARD changes and one every change, watch
// while the test drives Nagios through a scenario by its command pipe and
// its signals, and each step's reports are checked line by line.
//
// Results carry made-up check times, one minute apart from 2026/01/01 00:00
// UTC, so that every report line is known exactly. The watchers run with -v:
// each poll's "Checking @" line tells when it started, so a step waits only
// until each watcher has polled a status file that holds the step.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "live_nagios.h"
#include "poll_output.h"

namespace {

const long scenario_start = 1767225600;  // 2026/01/01 00:00 UTC

// Three hosts; services that go HARD at once, and two that retry first.
std::string scenario_objects() {
  std::string objects = R"(define command {
	command_name	never_run
	command_line	/bin/false
}
define timeperiod {
	timeperiod_name	always
	alias	always
	sunday	00:00-24:00
	monday	00:00-24:00
	tuesday	00:00-24:00
	wednesday	00:00-24:00
	thursday	00:00-24:00
	friday	00:00-24:00
	saturday	00:00-24:00
}
define contact {
	contact_name	nobody
	host_notification_period	always
	service_notification_period	always
	host_notification_options	n
	service_notification_options	n
	host_notification_commands	never_run
	service_notification_commands	never_run
}
define host {
	name	passive_host
	register	0
	max_check_attempts	1
	check_period	always
	notification_period	always
	notification_interval	0
	contacts	nobody
}
define service {
	name	passive_service
	register	0
	check_command	never_run
	max_check_attempts	1
	check_period	always
	notification_period	always
	notification_interval	0
	contacts	nobody
}
)";
  for (const char *host : {"db1", "sw1", "web1"})
    objects += std::string("define host {\n\tuse\tpassive_host\n\thost_name\t") + host + "\n}\n";
  const struct {
    const char *host, *service;
    int attempts;
  } services[] = {{"db1", "Backup Age", 1}, {"db1", "Load", 3},  {"db1", "MySQL", 1},
                  {"sw1", "PING", 1},       {"web1", "Disk /", 1}, {"web1", "HTTP", 2},
                  {"web1", "Scenario Step", 1}};
  for (const auto &s : services)
    objects += std::string("define service {\n\tuse\tpassive_service\n\thost_name\t") + s.host +
               "\n\tservice_description\t" + s.service + "\n\tmax_check_attempts\t" +
               std::to_string(s.attempts) + "\n}\n";
  return objects;
}

enum class action { start_watching, commands, reload, stop_and_start };

struct step {
  const char *what;
  action kind;
  std::vector<std::string> commands;  // sent at 2026/01/01 00:<step's index>
  std::string hard_changes;           // what `sentrel -1 -i 1` prints
  std::string every_change;           // what `sentrel -1 -i 1 -H` prints
};

const char backup_warning[] =
    "2026/01/01 00:00 WARN db1 Backup Age, WARNING - last backup 30 hours ago\n";
const char mysql_refused[] =
    "2026/01/01 00:00 CRIT db1 MySQL, Can't connect to MySQL server on 'db1' (111)\n";
const char disk_critical[] =
    "2026/01/01 00:00 CRIT web1 Disk /, DISK CRITICAL - free space: / 120 MiB (1% inode=40%):\n";
const char switch_down[] = "2026/01/01 00:05 CRIT sw1 , PING CRITICAL - Packet loss = 100%\n";

const step scenario[] = {
    {"the first poll: the HARD problems, not the SOFT warning of db1 Load",
     action::start_watching,
     {"PROCESS_HOST_CHECK_RESULT;db1;0;PING OK - Packet loss = 0%",
      "PROCESS_HOST_CHECK_RESULT;sw1;0;PING OK - Packet loss = 0%",
      "PROCESS_HOST_CHECK_RESULT;web1;0;PING OK - Packet loss = 0%",
      "PROCESS_SERVICE_CHECK_RESULT;db1;Backup Age;1;WARNING - last backup 30 hours ago",
      "PROCESS_SERVICE_CHECK_RESULT;db1;Load;1;LOAD WARNING - load average: 7.10",
      "PROCESS_SERVICE_CHECK_RESULT;db1;MySQL;2;Can't connect to MySQL server on 'db1' (111)",
      "PROCESS_SERVICE_CHECK_RESULT;sw1;PING;0;PING OK - Packet loss = 0%",
      "PROCESS_SERVICE_CHECK_RESULT;web1;Disk /;2;DISK CRITICAL - free space: / 120 MiB (1% "
      "inode=40%):",
      "PROCESS_SERVICE_CHECK_RESULT;web1;HTTP;0;HTTP OK: HTTP/1.1 200 OK"},
     std::string(backup_warning) + mysql_refused + disk_critical,
     std::string(backup_warning) + mysql_refused + disk_critical},
    {"web1 HTTP fails once: a SOFT warning", action::commands,
     {"PROCESS_SERVICE_CHECK_RESULT;web1;HTTP;1;HTTP WARNING: HTTP/1.1 503 Service Unavailable"},
     "",
     "2026/01/01 00:01 WARN web1 HTTP, HTTP WARNING: HTTP/1.1 503 Service Unavailable\n"},
    {"web1 HTTP fails again: HARD critical", action::commands,
     {"PROCESS_SERVICE_CHECK_RESULT;web1;HTTP;2;CRITICAL - Socket timeout after 10 seconds"},
     "2026/01/01 00:02 CRIT web1 HTTP, CRITICAL - Socket timeout after 10 seconds\n",
     "2026/01/01 00:02 CRIT web1 HTTP, CRITICAL - Socket timeout after 10 seconds\n"},
    {"web1 HTTP recovers", action::commands,
     {"PROCESS_SERVICE_CHECK_RESULT;web1;HTTP;0;HTTP OK: HTTP/1.1 200 OK"},
     "2026/01/01 00:03  OK  web1 HTTP, HTTP OK: HTTP/1.1 200 OK\n",
     "2026/01/01 00:03  OK  web1 HTTP, HTTP OK: HTTP/1.1 200 OK\n"},
    {"sw1 PING fails", action::commands,
     {"PROCESS_SERVICE_CHECK_RESULT;sw1;PING;2;PING CRITICAL - Packet loss = 100%"},
     "2026/01/01 00:04 CRIT sw1 PING, PING CRITICAL - Packet loss = 100%\n",
     "2026/01/01 00:04 CRIT sw1 PING, PING CRITICAL - Packet loss = 100%\n"},
    {"the host sw1 goes down", action::commands,
     {"PROCESS_HOST_CHECK_RESULT;sw1;1;PING CRITICAL - Packet loss = 100%"}, switch_down,
     switch_down},
    {"an acknowledgement, a downtime and a comment change no state", action::commands,
     {"ACKNOWLEDGE_SVC_PROBLEM;db1;MySQL;2;0;1;oncall;restarting MySQL",
      "SCHEDULE_SVC_DOWNTIME;db1;Backup Age;{now};{in an hour};1;0;3600;oncall;backup server "
      "moved",
      "ADD_SVC_COMMENT;web1;Disk /;1;oncall;logs rotate at midnight"},
     "", ""},
    {"a reload keeps every state", action::reload, {}, "", ""},
    // A first poll again: the acknowledged and the downtimed service stay
    // hidden, and sw1 hides its failed PING.
    {"a stop and a start", action::stop_and_start, {}, std::string(switch_down) + disk_critical,
     std::string(switch_down) + disk_critical},
    {"sw1 comes back; db1 Load fails again, still SOFT", action::commands,
     {"PROCESS_HOST_CHECK_RESULT;sw1;0;PING OK - Packet loss = 0%",
      "PROCESS_SERVICE_CHECK_RESULT;db1;Load;2;LOAD CRITICAL - load average: 21.40"},
     "2026/01/01 00:09  OK  sw1 , PING OK - Packet loss = 0%\n",
     "2026/01/01 00:09  OK  sw1 , PING OK - Packet loss = 0%\n"
     "2026/01/01 00:09 CRIT db1 Load, LOAD CRITICAL - load average: 21.40\n"},
};

// Downtimes are scheduled in real time, whatever the results' check times.
std::string with_real_times(std::string command) {
  const struct {
    const char *name;
    long offset;
  } times[] = {{"{now}", 0}, {"{in an hour}", 3600}};
  for (const auto &t : times) {
    size_t at = command.find(t.name);
    if (at != std::string::npos)
      command.replace(at, strlen(t.name), std::to_string(time(nullptr) + t.offset));
  }
  return command;
}

struct watcher {
  const char *changes;
  running_program program;
  size_t reported = 0;  // output bytes already checked
};

// Waits until the watcher has finished a poll that started after `after`.
void wait_for_poll_after(const watcher &w, time_t after) {
  wait_until(
      [&] {
        return last_poll_start(read_file(w.program.out_path)) > after ||
               !program_is_running(w.program);
      },
      std::string("a new poll of sentrel ") + w.changes);
  if (!program_is_running(w.program)) ADD_FAILURE() << "sentrel " << w.changes << " ended";
}

// The reports since the last call.
std::string new_reports(watcher *w) {
  std::string out = read_file(w->program.out_path);
  std::string reports = reports_in(out.substr(w->reported));
  w->reported = out.rfind('\n') + 1;
  return reports;
}

// Stops Nagios and the watchers by their process ids however the test
// ends, a failed assertion included.
struct stop_all_at_end {
  live_nagios *nagios;
  std::vector<watcher> *watchers;
  ~stop_all_at_end() {
    stop_nagios(nagios);
    for (watcher &w : *watchers)
      if (w.program.pid > 0) stop_program(w.program, SIGTERM);
  }
};

TEST(live_nagios4, the_watchers_report_each_step_exactly) {
  std::string why = why_nagios_cannot_run();
  if (!why.empty()) SKIP_UNLESS_REQUIRED("nagios4", why);
  live_nagios nagios = prepare_nagios(scenario_objects());
  std::vector<watcher> watchers = {{"-h", {}}, {"-H", {}}};
  stop_all_at_end guard{&nagios, &watchers};
  ASSERT_TRUE(start_nagios(&nagios));
  printf("Nagios %s, live\n", status_value(nagios, "version").c_str());
  RecordProperty("nagios_version", status_value(nagios, "version"));
  const std::string missing_file =
      "cannot open status file " + nagios.status_path + ": No such file or directory\n";

  long minute = 0;
  for (const step &s : scenario) {
    SCOPED_TRACE(s.what);
    if (s.kind == action::reload) {
      ASSERT_TRUE(reload_nagios(nagios));
    }
    if (s.kind == action::stop_and_start) {
      stop_nagios(&nagios);
      for (const watcher &w : watchers) wait_for_text(w.program.err_path, missing_file);
      ASSERT_TRUE(start_nagios(&nagios));
    }
    // Nagios takes commands in order: once the status file holds this
    // step's mark, it holds the whole step.
    std::vector<std::string> commands;
    for (const std::string &command : s.commands) commands.push_back(with_real_times(command));
    std::string mark = "after step " + std::to_string(minute);
    commands.push_back("PROCESS_SERVICE_CHECK_RESULT;web1;Scenario Step;0;" + mark);
    ASSERT_TRUE(send_commands(nagios, scenario_start + 60 * minute, commands));
    ASSERT_TRUE(wait_for_text(nagios.status_path, "plugin_output=" + mark + "\n"));
    time_t marked = time(nullptr);
    if (s.kind == action::start_watching)
      for (watcher &w : watchers)
        w.program = start_program({SENTREL_BINARY, "-1", "-i", "1", "-v", w.changes, "-f",
                                   nagios.status_path},
                                  {"TZ=UTC"});
    for (watcher &w : watchers) {
      wait_for_poll_after(w, marked);
      EXPECT_EQ(w.changes == std::string("-h") ? s.hard_changes : s.every_change,
                new_reports(&w))
          << "sentrel " << w.changes;
    }
    minute++;
  }

  for (watcher &w : watchers) {
    program_result result = stop_program(w.program, SIGTERM);
    w.program.pid = -1;
    EXPECT_EQ("", new_reports(&w)) << "sentrel " << w.changes << " after the last step";
    EXPECT_EQ(std::string::npos, result.out.find("???")) << w.changes;
    EXPECT_EQ(std::string::npos, result.out.find("1970/")) << w.changes;
    EXPECT_EQ(missing_file, result.err) << w.changes;
  }
}

}  // namespace
