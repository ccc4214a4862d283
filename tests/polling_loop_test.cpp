// The watcher end to end: the built binary polls a FIFO or a TCP peer that
// hands it one known snapshot per poll (-i 0, TZ=UTC), and its output is
// checked poll by poll.
#include "watcher/polling_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "poll_output.h"
#include "status_feed.h"
#include "status_text.h"

namespace {

enum { soft = 0, hard = 1 };

// Runs the same snapshots with each of the option sets and expects the
// same output from all of them.
void expect_output_under_each(const std::vector<std::vector<std::string>> &option_sets,
                              const std::vector<std::string> &snapshots,
                              const std::string &expected) {
  for (const auto &options : option_sets) {
    program_result result = watch_snapshots(options, snapshots);
    std::string name = options.empty() ? "(no options)" : options[0];
    EXPECT_EQ(expected, result.out) << name;
    EXPECT_EQ("", result.err) << name;
    EXPECT_EQ(SIGTERM, result.signal) << name;
  }
}

TEST(first_poll, shows_current_hard_problems_that_nobody_silenced) {
  struct {
    const char *host;
    const char *service;
    int state;
    int state_type;
    std::vector<std::string> extra;
    const char *label;  // null: not shown
  } services[] = {
      {"web", "critical", 2, hard, {}, "CRIT"},
      {"web", "warning", 1, hard, {}, "WARN"},
      {"web", "unknown", 3, hard, {}, " ?? "},
      {"web", "ok", 0, hard, {}, nullptr},
      {"web", "soft critical", 2, soft, {}, nullptr},
      {"web", "acknowledged", 2, hard, {"problem_has_been_acknowledged=1"}, nullptr},
      {"web", "acknowledgement type 2", 2, hard, {"problem_has_been_acknowledged=2"}, "CRIT"},
      {"web", "in downtime", 2, hard, {"scheduled_downtime_depth=0.5"}, nullptr},
      {"web", "notifications off", 2, hard, {"notifications_enabled=0"}, nullptr},
      {"web", "no checks", 2, hard,
       {"active_checks_enabled=0", "passive_checks_enabled=0"}, nullptr},
      {"web", "passive only", 2, hard, {"active_checks_enabled=0"}, "CRIT"},
      {"router", "behind a down host", 2, hard, {}, nullptr},
      {"dmz", "behind a soft down host", 2, hard, {}, nullptr},
      // An unknown code is no problem for an entry hidden anyway.
      {"web", "soft state 4", 4, soft, {}, nullptr},
      {"web", "silenced state 4", 4, hard, {"notifications_enabled=0"}, nullptr},
  };
  std::string snapshot = dat_host("web", 0, hard, "PING OK") +
                         dat_host("router", 1, hard, "PING timeout") +  // DOWN
                         dat_host("dmz", 2, soft, "unreachable");
  std::string expected = report("CRIT", "router", "", "PING timeout");
  for (const auto &s : services) {
    snapshot += dat_service(s.host, s.service, s.state, s.state_type, "output", s.extra);
    if (s.label) expected += report(s.label, s.host, s.service, "output");
  }
  // Only the first poll shows anything: the second reads the same file.
  expect_output_under_each({{}, {"-H"}}, {snapshot, snapshot}, expected);
}

TEST(first_poll, everything_ok_prints_nothing) {
  std::string snapshot = dat_host("db1", 0, hard, "up") + dat_service("db1", "load", 0, hard, "ok");
  expect_output_under_each({{}, {"-H"}}, {snapshot}, "");
}

TEST(first_poll, unknown_state_ends_the_watcher_after_the_earlier_reports) {
  struct {
    const char *name;
    std::vector<std::string> options;
    std::string snapshot;
    const char *message;
  } cases[] = {
      {"status.dat code 4", {},
       dat_service("db1", "before", 2, hard, "first") +
           dat_service("db1", "broken", 4, hard, "?") +
           dat_service("db1", "after", 2, hard, "never printed"),
       "internal error: state 4 not known"},
      {"status.log text it does not know", {"-x"},
       log_service("db1", "before", "CRITICAL", "HARD", "first") +
           log_service("db1", "broken", "BROKEN", "HARD", "?") +
           log_service("db1", "after", "CRITICAL", "HARD", "never printed"),
       "internal error: state -1 not known"},
  };
  for (const auto &c : cases) {
    program_result result = watch_snapshots(c.options, {c.snapshot});
    EXPECT_EQ(1, result.exit_status) << c.name;
    EXPECT_EQ(report("CRIT", "db1", "before", "first"), result.out) << c.name;
    EXPECT_TRUE(is_fatal_record(result.err, c.message)) << c.name << ": " << result.err;
  }
}

TEST(later_poll, reports_state_changes_by_the_hard_only_rule) {
  struct {
    const char *service;
    int was_type, was_state;
    int now_type, now_state;
    const char *first_poll;  // label on the first poll, null: not shown
    const char *hard_only;   // label on the second poll by default
    const char *any_change;  // label on the second poll with -H
  } cases[] = {
      {"soft warning to hard warning", soft, 1, hard, 1, nullptr, "WARN", nullptr},
      {"soft warning to hard ok", soft, 1, hard, 0, nullptr, nullptr, " OK "},
      {"soft ok to hard critical", soft, 0, hard, 2, nullptr, "CRIT", "CRIT"},
      {"soft warning to soft critical", soft, 1, soft, 2, nullptr, nullptr, "CRIT"},
      {"hard critical to hard ok", hard, 2, hard, 0, "CRIT", " OK ", " OK "},
      {"hard warning to hard critical", hard, 1, hard, 2, "WARN", "CRIT", "CRIT"},
      {"hard ok to soft critical", hard, 0, soft, 2, nullptr, nullptr, "CRIT"},
      {"hard critical to soft critical", hard, 2, soft, 2, "CRIT", nullptr, nullptr},
      {"hard critical with a new output", hard, 2, hard, 2, "CRIT", nullptr, nullptr},
  };
  std::string was = dat_host("db1", 0, hard, "up"), now = was;
  std::string first_poll, hard_only, any_change;
  for (const auto &c : cases) {
    was += dat_service("db1", c.service, c.was_state, c.was_type, "before");
    now += dat_service("db1", c.service, c.now_state, c.now_type, "after");
    if (c.first_poll) first_poll += report(c.first_poll, "db1", c.service, "before");
    if (c.hard_only) hard_only += report(c.hard_only, "db1", c.service, "after");
    if (c.any_change) any_change += report(c.any_change, "db1", c.service, "after");
  }
  expect_output_under_each({{}, {"-h"}}, {was, now}, first_poll + hard_only);
  expect_output_under_each({{"-H"}}, {was, now}, first_poll + any_change);
}

TEST(later_poll, entry_new_since_the_last_poll_is_reported_whatever_its_state) {
  std::string was = dat_host("db1", 0, hard, "up") + dat_service("db1", "load", 0, hard, "ok");
  std::string now = was + dat_service("db1", "new", 0, hard, "fine") +
                    dat_host("web2", 0, soft, "booting");
  expect_output_under_each({{}, {"-H"}}, {was, now},
                           report(" OK ", "db1", "new", "fine") +
                               report(" OK ", "web2", "", "booting"));
}

TEST(later_poll, comment_and_downtime_blocks_are_never_compared_with_their_object) {
  // They name a host or service but hold no state of it. Were they entries,
  // the lookup, which starts where the last one ended (on the last comment),
  // would compare db1 with its own comment and miss its recovery.
  std::string comments =
      dat_block("hostcomment", {"host_name=web1", "author=ops", "comment_data=new disk"}) +
      dat_block("hostcomment", {"host_name=db1", "author=ops", "comment_data=rack 4"});
  auto snapshot = [&](int db1_state, const char *db1_output) {
    return dat_host("db1", db1_state, hard, db1_output) +
           dat_service("db1", "mysql", 2, hard, "connection refused") +
           dat_host("web1", 0, hard, "up") +
           dat_service("web1", "disk", 1, hard, "92% used") +
           dat_block("servicedowntime", {"host_name=web1", "service_description=disk",
                                         "comment=moving the array"}) +
           comments;
  };
  std::string down = snapshot(1, "PING timeout"), up = snapshot(0, "PING OK");
  expect_output_under_each({{}, {"-H"}}, {down, down, up, down},
                           report("CRIT", "db1", "", "PING timeout") +   // first poll
                               report("WARN", "web1", "disk", "92% used") +
                               report(" OK ", "db1", "", "PING OK") +
                               report("CRIT", "db1", "", "PING timeout"));
}

TEST(later_poll, one_line_layout) {
  std::string was = dat_host("db1", 0, hard, "up") + dat_service("db1", "load", 2, hard, "load too high");
  std::string now = dat_host("db1", 2, hard, "") + dat_service("db1", "load", 0, hard, "load ok");
  expect_output_under_each({{"-1"}}, {was, now},
                           "2009/11/23 14:07 CRIT db1 load, load too high\n"
                           "2009/11/23 14:07 CRIT db1 , \n"
                           "2009/11/23 14:07  OK  db1 load, load ok\n");
}

TEST(later_poll, status_log_hosts_are_always_soft) {
  std::string was = log_host("db1", "UP", "PING OK") + log_host("web1", "DOWN", "PING timeout") +
                    log_service("db1", "load", "CRITICAL", "HARD", "load too high") +
                    log_service("db1", "passive", "CRITICAL", "HARD", "trap", 0);
  std::string now = log_host("db1", "DOWN", "PING timeout") + log_host("web1", "UP", "PING OK") +
                    log_host("mail1", "UP", "PING OK") +
                    log_service("db1", "load", "CRITICAL", "HARD", "load too high") +
                    log_service("db1", "passive", "CRITICAL", "HARD", "trap", 0);
  // No host on the first poll; with passive checks never enabled in this
  // format, a service without active checks is hidden as unchecked.
  std::string first_poll = report("CRIT", "db1", "load", "load too high");
  expect_output_under_each({{"-x"}}, {was, now},
                           first_poll + report(" OK ", "mail1", "", "PING OK"));
  expect_output_under_each({{"-x", "-H"}}, {was, now},
                           first_poll + report("CRIT", "db1", "", "PING timeout") +
                               report(" OK ", "web1", "", "PING OK") +
                               report(" OK ", "mail1", "", "PING OK"));
}

TEST(later_poll, time_the_calendar_cannot_show) {
  std::string snapshot = dat_service("db1", "clock", 2, hard, "skewed",
                                     {"last_state_change=99999999999999999"});
  program_result result = watch_snapshots({"-1"}, {snapshot});
  EXPECT_EQ(std::string("????") + "/??" + "/?? ??:?? CRIT db1 clock, skewed\n", result.out);
}

// What the poll after a poll without entries prints: a poll that left no
// array is followed by a first poll, one that left an empty array by a
// report of every entry.
TEST(poll_without_entries, decides_the_rule_of_the_next_poll) {
  std::string problems = dat_host("db1", 0, hard, "up") +
                         dat_service("db1", "load", 2, hard, "load too high") +
                         dat_service("db1", "disk", 0, hard, "disk ok");
  std::string current_problems = report("CRIT", "db1", "load", "load too high");
  std::string every_entry = report(" OK ", "db1", "", "up") + current_problems +
                            report(" OK ", "db1", "disk", "disk ok");
  struct {
    const char *name;
    std::vector<std::string> between;
    std::string out;
    std::vector<std::string> options;
  } cases[] = {
      {"empty file", {""}, current_problems + current_problems, {}},
      {"empty twice", {"", ""}, current_problems + current_problems, {}},
      {"comment lines only", {"# written by hand\n\n"}, current_problems + current_problems, {}},
      {"blocks of other kinds only", {"info {\n\tversion=4.4.6\n\t}\n"},
       current_problems + every_entry, {}},
      {"status.dat read as status.log", {""}, "", {"-x"}},
  };
  for (const auto &c : cases) {
    std::vector<std::string> polls = c.between;
    polls.insert(polls.begin(), problems);
    polls.push_back(problems);
    program_result result = watch_snapshots(c.options, polls);
    EXPECT_EQ(c.out, result.out) << c.name;
    // Named once for each stretch of such polls.
    EXPECT_EQ("status file SOURCE holds no host or service\n", with_source_as_SOURCE(result.err))
        << c.name;
  }
}

// `file` cut where `|` stands in `around`, a text of the file.
std::string cut_inside(const std::string &file, const std::string &around) {
  size_t bar = around.find('|');
  size_t at = file.find(around.substr(0, bar) + around.substr(bar + 1));
  EXPECT_NE(std::string::npos, at) << around;
  return at == std::string::npos ? file : file.substr(0, at + bar);
}

// A status file read while it is rewritten in place, or fetched over a
// connection that closed early, lacks everything after the cut. Such a
// poll reports nothing and leaves the last whole reading to the next poll,
// which would otherwise report every entry after the cut as new.
TEST(cut_short_reading, is_skipped_and_the_next_poll_compares_with_the_whole_one) {
  const char nagios[] = "nagios4/status-acks-downtime.dat";
  const char icinga[] = "icinga2/status-downtimes.dat";
  struct {
    const char *file;
    const char *cut;          // a text of the file, `|` where it is cut
    const char *limit_report;  // for a cut between blocks: what the next poll reports
    peer_ending ending = peer_ending::close;  // over TCP a reset or a stall shows wherever it falls
  } cases[] = {
      {nagios, "info {\n\tcreated=17967|", nullptr},
      {nagios, "programstatus {\n|", nullptr},
      {nagios, "hoststatus {\n|", nullptr},
      {nagios, "\tscheduled_downtime_depth=0\n\t_OWNER=0;dba team\n\t|}", nullptr},
      {nagios, "\thost_name=lab-|pc", nullptr},
      {nagios, "\tservice_description=MySQL\n|", nullptr},
      {nagios, "comment_data=Investigating {|ticket=INC-42}", nullptr},
      {nagios, "hostdowntime {\n\thost_name=|", nullptr},
      {nagios, "contactstatus {\n\tcontact_name=night|shift", nullptr},
      {icinga, "\tcreated=1796774400.|438933", nullptr},
      {icinga, "hoststatus {\n|\thost_name=gw-core", nullptr},
      {icinga, "\tcheck_period|\t24x7", nullptr},
      {icinga, "comment_data=First host of the file {| change=CHG-7", nullptr},
      {icinga, "hostdowntime {\n\thost_name=mail-01\n|", nullptr},
      {icinga, "\tservice_description=IMAP\n|", nullptr},
      {icinga, "\tplugin_output={\"lag_s\": 42|", nullptr},
      // The limit: nothing marks the end of the file, so a cut between
      // blocks leaves a whole reading without the blocks after it.
      {nagios, "\t}\n\n|servicestatus {\n\thost_name=web2\n\tservice_description=Load\n",
       "2026/12/08 16:49  OK  web2 Load, OK - load average: 0.41, 1.90, 2.70\n"},
      {icinga, "\t}\n\n|servicestatus {\n\thost_name=db-01\n\tservice_description=Replication",
       "2026/12/08 23:59 WARN db-01 Replication, "
       "{\"lag_s\": 42, \"primary\": \"db-00\", \"state\": \"lagging\"}\n"},
      {nagios, "\t}\n\n|servicestatus {\n\thost_name=web2\n", nullptr, peer_ending::reset},
      // With -i 1 a silent peer is given up after 10 seconds.
      {nagios, "\tservice_description=MySQL\n|", nullptr, peer_ending::stall},
  };
  auto notice = [](peer_ending ending) -> std::string {
    if (ending == peer_ending::close) return "status file ended inside a block: poll skipped\n";
    return std::string("transfer from SOURCE broken: ") +
           (ending == peer_ending::reset ? "Connection reset by peer"
                                         : "nothing received for 10 s") +
           ": poll skipped\n";
  };
  const std::vector<std::string> options = {"-1", "-H"};
  for (const auto &c : cases) {
    std::string file = fixture(c.file);
    // Each poll of a whole file after the first prints nothing.
    std::string whole_polls = watch_snapshots(options, {file, file, file}).out;
    std::vector<std::string> polls = {file, cut_inside(file, c.cut), file};
    std::vector<std::string> tcp_options = options;
    if (c.ending == peer_ending::stall) tcp_options.insert(tcp_options.end(), {"-i", "1"});
    for (bool over_tcp : {false, true}) {
      if (!over_tcp && c.ending != peer_ending::close) continue;
      SCOPED_TRACE(std::string(c.file) + " cut at " + c.cut + (over_tcp ? " over TCP" : ""));
      program_result result =
          over_tcp ? watch_snapshots_over_tcp(tcp_options, polls, {peer_ending::close, c.ending})
                   : watch_snapshots(options, polls);
      EXPECT_EQ(whole_polls + (c.limit_report ? c.limit_report : ""), result.out);
      EXPECT_EQ(c.limit_report ? "" : notice(c.ending), with_source_as_SOURCE(result.err));
    }
  }
}

// Rewrites the status file at `path` in place, as Centreon Engine does:
// truncates it, then writes `text` in pieces of a page with short pauses.
// Before the first piece, `program` (running with -v) ends two polls: a
// poll under way at the truncation would otherwise read the start of the
// old text and then the rest of the new one.
void rewrite_in_place(const std::string &path, const std::string &text,
                      const running_program &program) {
  const size_t piece = 4096;  // a page: readers see the file grow a piece at a time
  int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0) << path;
  for (int poll = 0; poll < 2; poll++) wait_for_output_beyond(program, output_size(program));
  for (size_t at = 0; at < text.size(); at += piece) {
    usleep(1000);
    size_t size = std::min(piece, text.size() - at);
    ASSERT_EQ(static_cast<ssize_t>(size), write(fd, text.data() + at, size));
  }
  close(fd);
}

// Polled all the while it is rewritten in place (-v -i 0), the file is
// often read cut short. No such reading may count: every report must be one
// that whole readings give, a change between the two snapshots or a problem
// of either on a first poll (after the polls that found the file empty).
// No page boundary of these files falls between two blocks, where a cut
// would go unnoticed.
TEST(cut_short_reading, writer_rewriting_in_place_causes_no_false_report) {
  const std::string snapshots[] = {fixture("nagios4/status-all-ok.dat"),
                                   fixture("nagios4/status-host-down.dat")};
  std::set<std::string> allowed;
  for (const auto &polls : {std::vector<std::string>{snapshots[0], snapshots[1], snapshots[0]},
                            std::vector<std::string>{snapshots[1]}})
    for (const std::string &line : lines_of(watch_snapshots({"-1"}, polls).out))
      allowed.insert(line);
  std::string path = make_temp_dir() + "/status.dat";
  write_file(path, snapshots[0]);
  running_program program =
      start_program({SENTREL_BINARY, "-v", "-1", "-i", "0", "-f", path}, {"TZ=UTC"});
  size_t polls = 0;
  for (int round = 1; round <= 1000 && (round <= 8 || polls < 400); round++) {
    rewrite_in_place(path, snapshots[round % 2], program);
    usleep(5000);  // the whole file, for a few polls
    polls = output_by_poll(read_file(program.out_path)).size();
  }
  program_result result = stop_program(program, SIGTERM);
  EXPECT_GE(polls, 400u);
  for (const std::string &poll : output_by_poll(result.out))
    for (const std::string &line : lines_of(poll)) EXPECT_EQ(1u, allowed.count(line)) << line;
  // The polls that met the file truncated found nothing to watch.
  std::set<std::string> notices;
  for (const std::string &notice : lines_of(with_source_as_SOURCE(result.err)))
    notices.insert(notice);
  notices.erase("status file SOURCE holds no host or service");
  EXPECT_EQ(std::set<std::string>{"status file ended inside a block: poll skipped"}, notices);
}

TEST(verbose, each_poll_begins_with_a_checking_line) {
  std::string was = dat_service("db1", "load", 2, hard, "high");
  std::string now = dat_service("db1", "load", 0, hard, "fine");
  program_result result = watch_snapshots({"-v", "-1"}, {was, now, now});
  std::string line = checking_line;
  EXPECT_EQ(line + "2009/11/23 14:07 CRIT db1 load, high\n" + line +
                "2009/11/23 14:07  OK  db1 load, fine\n" + line,
            with_checking_times_masked(result.out));
}

// A poll cut short still prints what it printed while parsing, and flushes
// it; a first poll cut short leaves no reading, so the next is a first poll.
TEST(verbose, poll_cut_short_prints_its_lines_and_leaves_no_reading_behind) {
  std::string whole = dat_service("db1", "load", 2, hard, "high", {"foo=1"}) +
                      dat_service("db1", "disk", 0, hard, "ok");
  std::string cut = whole.substr(0, whole.find("\tservice_description=disk"));
  program_result result = watch_snapshots({"-v", "-1"}, {cut, whole, cut});
  std::string line = std::string(checking_line) + "{foo} ???\n";
  EXPECT_EQ(line + line + "2009/11/23 14:07 CRIT db1 load, high\n" + line,
            with_checking_times_masked(result.out));
  EXPECT_EQ("status file ended inside a block: poll skipped\n"
            "status file ended inside a block: poll skipped\n",
            result.err);
}

// Waits until a few hundred more polls have begun: their -v lines, which a
// poll without its source leaves unflushed, reach the output only when
// stdio's buffer fills, and the second time it does a whole buffer of them
// came after this call.
void wait_for_polls(const running_program &program) {
  for (int flushes = 0; flushes < 2; flushes++)
    wait_for_output_beyond(program, output_size(program));
}

// sentrel as nobody where the test runs as root, who may read every file;
// nothing to add for another user. Empty `*why_not` when that can be done.
std::vector<std::string> unprivileged_launcher(std::string *why_not) {
  if (geteuid() != 0) return {};
  const passwd *nobody = getpwnam("nobody");
  std::vector<std::string> launcher;
  if (nobody != nullptr)
    launcher = {"/usr/bin/setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
                "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"};
  std::vector<std::string> try_it = launcher;
  try_it.insert(try_it.end(), {SENTREL_BINARY, "-V"});
  if (nobody == nullptr || run_program(try_it).exit_status != 0)
    *why_not = "unreadable file not tried: as root, with no setpriv or no user nobody who may "
               "run the built sentrel";
  return launcher;
}

enum source_kind { file, unreadable_file, directory, tcp_service };

// A source that cannot be opened is named on standard error once, and again
// only after a poll that opened it or a failure for another reason; the
// polls without it stay gaps, so each poll that reads it after one is a
// first poll. Steps: '-' the source cannot be opened for a few hundred
// polls, '~' nor can it then for another reason (the file is there but
// unreadable), '+' one poll reads the problems.
TEST(source_not_opened, is_named_once_for_each_stretch_without_it) {
  std::string problems = dat_service("db1", "load", 2, hard, "high");
  std::string missing = "cannot open status file SOURCE: No such file or directory\n";
  std::string denied = "cannot open status file SOURCE: Permission denied\n";
  std::string refused = "cannot connect to SOURCE: Connection refused\n";
  struct {
    const char *name;
    source_kind kind;
    const char *steps;
    std::string err;  // SOURCE stands for the path or host:port as given
    int reports;      // of the problems, each one a first poll's
    int exit_status;  // -1: still polling when stopped
  } cases[] = {
      {"missing file", file, "-", missing, 0, -1},
      {"unreadable file", unreadable_file, "~", denied, 0, -1},
      {"missing file, then unreadable", unreadable_file, "-~", missing + denied, 0, -1},
      {"directory", directory, "",
       "buffered_reader::read_into_buffer: read failed (Is a directory)\n", 0, 1},
      {"refused port", tcp_service, "-", refused, 0, -1},
      {"file that appears, disappears and comes back", file, "-+-+", missing + missing, 2, -1},
      {"service that refuses, serves and refuses", tcp_service, "-+-", refused + refused, 1, -1},
      {"service that serves, refuses and serves", tcp_service, "+-+", refused, 2, -1},
  };
  std::string skipped;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::string dir = make_temp_dir();
    std::string source = dir + "/status.dat";
    fifo_feed feed{source};  // missing until brought back
    tcp_peer peer;           // refusing until brought back
    std::vector<std::string> argv;
    if (c.kind == unreadable_file) {
      argv = unprivileged_launcher(&skipped);
      if (!skipped.empty()) continue;
      // Only the file's own permission is to keep nobody out.
      ASSERT_EQ(0, chmod(dir.c_str(), 0711));
    }
    if (c.kind == directory) source = dir;
    if (c.kind == tcp_service) {
      // Outside the ephemeral range the port stays free for the peer while
      // sentrel is refused there. Inside it, sentrel's socket may take the
      // port for a moment, connected to itself: refused too, but the peer
      // may then fail to come back.
      uint16_t port = free_port_outside_ephemeral_range();
      if (port == 0) {
        tcp_peer any = bind_tcp_peer(0, false);
        close_tcp_peer(&any);
        port = any.port;
      }
      source = "127.0.0.1:" + std::to_string(port);
      feed.path.clear();
      peer.port = port;
    }
    auto bring_back = [&] {
      if (feed.path.empty()) peer = open_tcp_peer(peer.port);
      else restore_fifo(feed);
    };
    argv.insert(argv.end(), {SENTREL_BINARY, "-v", "-i", "0", c.kind == tcp_service ? "-F" : "-f",
                             source});
    if (c.steps[0] == '+') bring_back();
    running_program program = start_program(argv, {"TZ=UTC"});
    for (size_t i = 0; c.steps[i] != '\0'; i++) {
      bool gone_next = c.steps[i + 1] == '-';
      if (c.steps[i] == '~') {
        // Unreadable before it takes the name, or a poll might read it.
        write_file(dir + "/new", problems);
        EXPECT_EQ(0, chmod((dir + "/new").c_str(), 0));
        EXPECT_EQ(0, rename((dir + "/new").c_str(), source.c_str()));
      }
      if (c.steps[i] != '+') {
        wait_for_polls(program);
        continue;
      }
      if (i > 0 && c.steps[i - 1] == '-') bring_back();
      if (feed.path.empty()) {
        int connection = accept_connection(peer, program);
        if (gone_next) close_tcp_peer(&peer);
        serve_snapshot(connection, problems);
      } else {
        feed_snapshot(feed, program, problems, gone_next);
      }
    }
    // A source still there holds the next poll, so every earlier one ended.
    int held = -1;
    if (c.steps[0] != '\0' && c.steps[strlen(c.steps) - 1] == '+')
      held = feed.path.empty() ? accept_connection(peer, program) : await_next_poll(feed, program);
    program_result result = stop_program(program, c.exit_status < 0 ? SIGTERM : 0);
    close(held);
    close_tcp_peer(&peer);

    EXPECT_EQ(c.err, with_source_as_SOURCE(result.err));
    std::string reports;
    for (int i = 0; i < c.reports; i++) reports += report("CRIT", "db1", "load", "high");
    EXPECT_EQ(reports, reports_in(result.out));
    EXPECT_EQ(c.exit_status, result.exit_status);
  }
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

TEST(tcp_source, peer_sending_in_small_pieces_reads_like_a_file) {
  std::string status = fixture("nagios4/status-host-down.dat");
  std::string from_file = watch_snapshots({}, {status}).out;
  ASSERT_NE("", from_file);
  for (size_t piece : {size_t{1}, size_t{7}, size_t{4096}, status.size()}) {
    tcp_peer peer = open_tcp_peer();
    running_program program = start_program(
        {SENTREL_BINARY, "-i", "0", "-F", "127.0.0.1:" + std::to_string(peer.port)}, {"TZ=UTC"});
    // Nothing is ever written to the connection.
    EXPECT_EQ(0u, serve_snapshot(accept_connection(peer, program), status, piece)) << piece;
    int held = accept_connection(peer, program);
    program_result result = stop_program(program, SIGTERM);
    close(held);
    close_tcp_peer(&peer);
    EXPECT_EQ(from_file, result.out) << piece;
  }
}

TEST(tcp_source, peer_closing_at_once_gives_an_empty_poll) {
  std::string problems = dat_service("db1", "load", 2, hard, "load too high");
  program_result result = watch_snapshots_over_tcp({}, {problems, "", "", problems});
  // The empty polls left no array, so the last poll is a first poll again.
  EXPECT_EQ(report("CRIT", "db1", "load", "load too high") +
                report("CRIT", "db1", "load", "load too high"),
            result.out);
  EXPECT_EQ("SOURCE sent no host or service\n", with_source_as_SOURCE(result.err));
}

// Started with its standard output closed, sentrel must not write its
// reports into the connection that takes the free descriptor.
TEST(tcp_source, closed_standard_output_never_reaches_the_peer) {
  tcp_peer peer = open_tcp_peer();
  running_program program = start_program(
      {"/bin/sh", "-c", "exec \"$@\" >&-", "sh", SENTREL_BINARY, "-i", "0", "-F",
       "127.0.0.1:" + std::to_string(peer.port)});
  std::string problems = dat_service("db1", "load", 2, hard, "load too high");
  EXPECT_EQ(0u, serve_snapshot(accept_connection(peer, program), problems));
  int held = accept_connection(peer, program);
  program_result result = stop_program(program, SIGTERM);
  close(held);
  close_tcp_peer(&peer);
  EXPECT_EQ(SIGTERM, result.signal);
  EXPECT_EQ("", result.err);
}

TEST(loop_settings, negative_interval_means_no_pause) {
  std::string was = dat_service("db1", "load", 2, hard, "high");
  std::string now = dat_service("db1", "load", 0, hard, "fine");
  // A pause would keep the second snapshot from ever being read.
  program_result result = watch_snapshots({"-i", "-1", "-1"}, {was, now});
  EXPECT_EQ("2009/11/23 14:07 CRIT db1 load, high\n2009/11/23 14:07  OK  db1 load, fine\n",
            result.out);
}

}  // namespace
