// The watcher under faults, end to end: the built binary (-i 0, TZ=UTC)
// against outputs it cannot write, peers that misbehave, a status file
// replaced under it, memory it cannot have and inputs of absurd shapes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "poll_output.h"
#include "sanitizers.h"
#include "status_feed.h"
#include "status_text.h"
#include "status/stats_entry.h"

namespace {

enum { hard = 1 };

std::vector<std::string> watch_file(const std::string &path) {
  return {SENTREL_BINARY, "-i", "0", "-f", path};
}

std::string fatal_record(const std::string &message, int error) {
  return message + ": errno=" + std::to_string(error) + " (if applicable)\n";
}

// A shell that limits the address space of the program it then becomes;
// none under AddressSanitizer, whose shadow memory cannot live under a limit.
std::vector<std::string> address_space_limit(size_t bytes) {
#ifdef SENTREL_ASAN
  (void)bytes;
  return {};
#else
  return {"/bin/sh", "-c", "ulimit -v " + std::to_string(bytes >> 10) + " && exec \"$@\"", "sh"};
#endif
}

// Room for the program itself, its libraries and its stack.
const size_t program_room = size_t{32} << 20;

std::string tcp_source(const tcp_peer &peer) { return "127.0.0.1:" + std::to_string(peer.port); }

TEST(unwritable_output, ends_the_watcher_instead_of_losing_reports) {
  struct {
    const char *name;
    std::function<int()> open_output;  // -1: not available on this system
    int signal;
    std::string err;
  } cases[] = {
      {"full disk", [] { return open("/dev/full", O_WRONLY); }, 0,
       fatal_record("failed to write the reports to standard output", ENOSPC)},
      // The default action of SIGPIPE, as for any filter in a pipeline.
      {"pipe whose reader closed",
       [] {
         int ends[2];
         if (pipe(ends) != 0) return -1;
         close(ends[0]);
         return ends[1];
       },
       SIGPIPE, ""},
  };
  std::string missing;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    int output = c.open_output();
    if (output < 0) {
      missing += std::string(missing.empty() ? "" : ", ") + c.name;
      continue;
    }
    fifo_feed feed = make_fifo_feed(make_temp_dir() + "/status.dat");
    running_program program = start_program(watch_file(feed.path), {"TZ=UTC"}, output);
    close(output);
    feed_snapshot(feed, program, dat_service("db1", "load", 2, hard, "load too high"));
    program_result result = stop_program(program, 0);
    EXPECT_EQ(c.signal, result.signal);
    EXPECT_EQ(c.signal ? -1 : 1, result.exit_status);
    EXPECT_EQ(c.err, result.err);
  }
  if (!missing.empty()) GTEST_SKIP() << "not available on this system: " << missing;
}

TEST(tcp_faults, stop_and_continue_during_a_slow_read_lose_and_double_nothing) {
  std::vector<std::string> snapshots = {fixture("nagios4/status-odd-outputs.dat"),
                                        fixture("nagios4/status-host-down.dat")};
  std::string expected = watch_snapshots({"-1"}, snapshots).out;
  ASSERT_NE("", expected);
  tcp_peer peer = open_tcp_peer();
  running_program program =
      start_program({SENTREL_BINARY, "-1", "-i", "0", "-F", tcp_source(peer)}, {"TZ=UTC"});
  // Before each piece sentrel, waiting for it inside its read, is stopped
  // and continued.
  auto stop_and_continue = [&] {
    kill(program.pid, SIGSTOP);
    int status = 0;
    EXPECT_EQ(program.pid, waitpid(program.pid, &status, WUNTRACED));
    EXPECT_TRUE(WIFSTOPPED(status));
    kill(program.pid, SIGCONT);
  };
  for (const std::string &snapshot : snapshots)
    serve_snapshot(accept_connection(peer, program), snapshot, 1000, stop_and_continue);
  int held = accept_connection(peer, program);
  program_result result = stop_program(program, SIGTERM);
  close(held);
  close_tcp_peer(&peer);
  EXPECT_EQ(expected, result.out);
  EXPECT_EQ("", result.err);
}

TEST(status_file_replaced, by_rename_while_polling_yields_only_whole_readings) {
  std::string up = fixture("nagios4/status-all-ok.dat");
  std::string down = fixture("nagios4/status-host-down.dat");
  // All that a poll may print: nothing when it reads the file the last poll
  // read, else the whole change from that one.
  std::string first_down = watch_snapshots({"-1"}, {down}).out;
  std::string going_down = watch_snapshots({"-1"}, {up, down}).out;
  std::string coming_up = watch_snapshots({"-1"}, {down, up}).out.substr(first_down.size());
  ASSERT_NE("", going_down);
  ASSERT_NE("", coming_up);

  std::string dir = make_temp_dir();
  std::string path = dir + "/status.dat", next = dir + "/status.dat.new";
  write_file(path, up);
  running_program program =
      start_program({SENTREL_BINARY, "-v", "-1", "-i", "0", "-f", path}, {"TZ=UTC"});
  // As Nagios writes it: the whole file under another name, then renamed
  // over the old one; until sentrel has begun a few hundred polls meanwhile.
  for (int i = 0; i < 20000 && program_is_running(program); i++) {
    if (i % 32 == 0 && output_by_poll(read_file(program.out_path)).size() >= 300) break;
    write_file(next, i % 2 == 0 ? down : up);
    if (rename(next.c_str(), path.c_str()) != 0) ADD_FAILURE() << strerror(errno);
  }
  // A FIFO renamed in last holds the next poll, so every earlier one ended.
  fifo_feed feed = make_fifo_feed(dir + "/fifo");
  ASSERT_EQ(0, rename(feed.path.c_str(), path.c_str()));
  feed.path = path;
  int held = await_next_poll(feed, program);
  program_result result = stop_program(program, SIGTERM);
  close(held);
  EXPECT_EQ("", result.err);

  std::vector<std::string> polls = output_by_poll(result.out);
  ASSERT_FALSE(polls.empty());
  bool is_down = polls[0] == first_down;
  EXPECT_TRUE(is_down || polls[0].empty()) << polls[0];
  size_t changes = 0;
  for (size_t i = 1; i < polls.size(); i++) {
    if (polls[i] == (is_down ? coming_up : going_down)) {
      is_down = !is_down;
      changes++;
    } else {
      ASSERT_EQ("", polls[i]) << "poll " << i + 1 << " of " << polls.size();
    }
  }
  RecordProperty("polls", static_cast<int>(polls.size()));
  RecordProperty("changes", static_cast<int>(changes));
}

// sentrel under an address-space limit, fed `repeated` again and again in
// one poll until it ends.
program_result run_out_of_memory(const std::string &repeated, size_t limit) {
  fifo_feed feed = make_fifo_feed(make_temp_dir() + "/status.dat");
  std::vector<std::string> argv = address_space_limit(limit);
  for (const std::string &argument : watch_file(feed.path)) argv.push_back(argument);
  running_program program = start_program(argv, {"TZ=UTC"});
  int fd = await_next_poll(feed, program);
  for (int sent = 0; sent < 1024; sent++)  // 1 GB at most, if no limit held
    if (write(fd, repeated.data(), repeated.size()) < 0) break;
  close(fd);
  return stop_program(program, 0);
}

// Allocation failures end the watcher with the allocator's own message.
TEST(memory_exhausted, ends_the_watcher_with_the_allocation_message) {
#ifdef SENTREL_ASAN
  GTEST_SKIP() << "an address-space limit breaks AddressSanitizer";
#endif
  // The stats array doubles from 128 entries: each size it can ask for; or
  // a lookup table grows past the limit, or the reader's buffer.
  std::vector<std::string> growth_failures = {
      "buffered_reader::read_into_buffer: realloc failed\n",
      fatal_record("failed to allocate memory\n", ENOMEM)};
  for (int64_t size = 128 * int64_t{sizeof(stats_entry)}; size <= INT32_MAX; size *= 2)
    growth_failures.push_back(fatal_record(
        "failed to reallocate to " + std::to_string(size) + " bytes for stats array\n", ENOMEM));
  struct {
    const char *name;
    std::string repeated;  // sent again and again until the program ends
    std::vector<std::string> errors;  // what standard error may show
    size_t limits;  // tried one after another, 256 kB apart
  } cases[] = {
      // Blocks without keys: the array and its lookup tables grow, no text.
      {"host blocks without end", [] {
         std::string blocks;
         while (blocks.size() < (1 << 20)) blocks += "hoststatus {\n\t}\n";
         return blocks;
       }(), growth_failures, 16},  // one may fall where the array fits and a table does not
  };
  for (const auto &c : cases) {
    for (size_t step = 0; step < c.limits; step++) {
      SCOPED_TRACE(c.name + std::string(", limit ") + std::to_string(step));
      program_result result = run_out_of_memory(
          c.repeated, program_room + (size_t{32} << 20) + step * (size_t{256} << 10));
      EXPECT_EQ(1, result.exit_status);
      EXPECT_EQ("", result.out);
      EXPECT_NE(c.errors.end(), std::find(c.errors.begin(), c.errors.end(), result.err))
          << result.err;
    }
  }
}

// Cut down under AddressSanitizer, whose realloc copies the reader's
// buffer on every read.
#ifdef SENTREL_ASAN
const size_t absurd_scale = 25;
#else
const size_t absurd_scale = 1;
#endif

// Inputs of absurd shapes cost a poll, and memory in proportion to their
// size at most: a 50 MB line without a line feed costs no more than its
// first megabyte, ten million blank lines their size.
TEST(absurd_input, huge_line_or_blank_lines_cost_one_poll) {
  std::string big_line((50 << 20) / absurd_scale, 'x');
  std::string blank_lines(10000000 / absurd_scale, '\n');
  std::string dat = dat_host("db1", 0, hard, "PING OK") +
                    dat_service("db1", "load", 2, hard, "load too high");
  std::string long_line_first = std::string(3 << 20, 'x') + "\n" + dat;
  std::string log = log_host("db1", "UP", "PING OK") +
                    log_service("db1", "load", "CRITICAL", "HARD", "load too high");
  std::string problem = report("CRIT", "db1", "load", "load too high");
  std::string every_entry = report(" OK ", "db1", "", "PING OK") + problem;
  std::string nothing = "status file SOURCE holds no host or service\n";
  const size_t line_room = size_t{16} << 20;
  struct {
    const char *name;
    std::vector<std::string> options;
    const std::string &snapshot;
    const std::string &between;
    std::string after;
    std::string err;
    size_t room;  // beyond the program's own
  } cases[] = {
      // No block: no array, so the next poll is a first poll.
      {"status.dat, huge line", {}, dat, big_line, problem, nothing, line_room},
      {"status.dat, blank lines", {}, dat, blank_lines, problem, nothing, 3 * blank_lines.size()},
      {"status.dat, 3 MiB line before the blocks", {}, dat, long_line_first, "", "", line_room},
      // One data line that is no record: an empty array, against which
      // every entry of the next poll is new.
      {"status.log, huge line", {"-x"}, log, big_line, every_entry, nothing, line_room},
      {"status.log, blank lines", {"-x"}, log, blank_lines, every_entry, nothing,
       3 * blank_lines.size()},
  };
  for (const auto &c : cases) {
    program_result result = watch_snapshots(c.options, {c.snapshot, c.between, c.snapshot},
                                            address_space_limit(program_room + c.room));
    EXPECT_EQ(problem + c.after, result.out) << c.name;
    EXPECT_EQ(c.err, with_source_as_SOURCE(result.err)) << c.name;
    EXPECT_EQ(SIGTERM, result.signal) << c.name;
  }
}

TEST(absurd_input, fifo_without_writer_holds_the_poll) {
  fifo_feed feed = make_fifo_feed(make_temp_dir() + "/status.dat");
  running_program program =
      start_program({SENTREL_BINARY, "-v", "-i", "0", "-f", feed.path}, {"TZ=UTC"});
  // Found waiting to open the FIFO, with nothing printed yet.
  int held = await_next_poll(feed, program);
  EXPECT_GE(held, 0);
  EXPECT_TRUE(program_is_running(program));
  program_result result = stop_program(program, SIGTERM);
  close(held);
  EXPECT_EQ(SIGTERM, result.signal);
  EXPECT_EQ("", result.out);
  EXPECT_EQ("", result.err);
}

}  // namespace
