// The watcher under faults, end to end: the built binary (-i 0, TZ=UTC)
// against outputs it cannot write, peers that misbehave, a status file
// replaced under it, memory it cannot have and inputs of absurd shapes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "run_program.h"
#include "status_feed.h"

namespace {

enum { hard = 1 };

std::vector<std::string> watch_file(const std::string &path) {
  return {SENTREL_BINARY, "-i", "0", "-f", path};
}

std::string fatal_record(const std::string &message, int error) {
  return message + ": errno=" + std::to_string(error) + " (if applicable)\n";
}

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

}  // namespace
