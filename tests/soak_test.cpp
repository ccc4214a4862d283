// A long run of the built watcher (-v -i 0) over inputs that change every
// poll, with polls in between whose source is empty or missing: resident
// memory stays flat after warm-up, no descriptor leaks, and the run ends
// through fatal so that LeakSanitizer, in a sanitizer build, checks it.
// SENTREL_SOAK_POLLS sets the length of each run.
#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "sanitizers.h"
#include "status_feed.h"
#include "status_text.h"

namespace {

int soak_polls() {
  const char *knob = getenv("SENTREL_SOAK_POLLS");
  if (knob != nullptr && atoi(knob) > 0) return atoi(knob);
#ifdef SENTREL_ASAN
  return 300;  // enough for the leak check; the sanitizers are slow
#else
  return 5000;
#endif
}

// The resident set of `pid` in kB, or -1 where /proc does not tell.
long resident_kb(pid_t pid) {
  std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
  size_t at = status.find("VmRSS:");
  return at == std::string::npos ? -1 : atol(status.c_str() + at + 6);
}

// How many descriptors `pid` holds open other than `status_file` (whose
// open may be under way), or -1 where /proc does not tell.
int open_descriptors(pid_t pid, const std::string &status_file) {
  std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  DIR *dir = opendir(fds.c_str());
  if (dir == nullptr) return -1;
  int count = 0;
  while (const dirent *entry = readdir(dir)) {
    char target[4096];
    ssize_t length = readlink((fds + "/" + entry->d_name).c_str(), target, sizeof target);
    if (entry->d_name[0] != '.' && std::string(target, length > 0 ? length : 0) != status_file)
      count++;
  }
  closedir(dir);
  return count;
}

const char *const states[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

// A status.dat whose states and outputs differ from poll to poll.
std::string changing_dat(int poll) {
  std::string text;
  for (int h = 0; h < 10; h++) {
    std::string host = "host" + std::to_string(h);
    text += dat_host(host, (poll + h) % 3 == 0 ? 1 : 0, poll % 2, "poll " + std::to_string(poll));
    for (int s = 0; s < 5; s++)
      text += dat_service(host, "service" + std::to_string(s), (poll + h + s) % 4,
                          (poll / 2 + s) % 2, "poll " + std::to_string(poll));
  }
  return text;
}

std::string changing_log(int poll) {
  std::string text;
  for (int h = 0; h < 10; h++) {
    std::string host = "host" + std::to_string(h);
    text += log_host(host, (poll + h) % 3 == 0 ? "DOWN" : "UP", "poll " + std::to_string(poll));
    for (int s = 0; s < 5; s++)
      text += log_service(host, "service" + std::to_string(s), states[(poll + h + s) % 4],
                          (poll / 2 + s) % 2 ? "HARD" : "SOFT", "poll " + std::to_string(poll));
  }
  return text;
}

struct soak_figures {
  long warm_kb = -1;  // resident set once warmed up
  long peak_kb = -1;  // the largest after that
  int descriptors = -1;
  bool descriptors_steady = true;
};

// Takes the figures while the program waits for the next poll's file.
void sample(const running_program &program, const fifo_feed &feed, bool warmed_up,
            soak_figures *figures) {
  long kb = resident_kb(program.pid);
  if (!warmed_up) figures->warm_kb = kb;
  else if (kb > figures->peak_kb) figures->peak_kb = kb;
  int descriptors = open_descriptors(program.pid, feed.path);
  if (figures->descriptors < 0) figures->descriptors = descriptors;
  if (descriptors != figures->descriptors) figures->descriptors_steady = false;
}

// Ends the program's empty poll now and its file's existence until it has
// failed to open it a few hundred times: their -v lines, unflushed by those
// polls, show once stdio's buffer fills.
void feed_empty_then_missing(const fifo_feed &feed, const running_program &program) {
  int held = await_next_poll(feed, program);
  if (held < 0) return;
  size_t before = output_size(program);
  unlink(feed.path.c_str());
  close(held);
  wait_for_output_beyond(program, before + 1024);
  restore_fifo(feed);
}

TEST(soak, memory_and_descriptors_stay_flat_over_thousands_of_polls) {
  const int polls = soak_polls(), warm_up = polls / 10;
  std::vector<std::string> written;  // by Nagios 4.4 and Icinga 2.13
  for (const char *name :
       {"nagios4/status-all-ok.dat", "nagios4/status-host-down.dat", "icinga2/status-comments.dat",
        "nagios4/status-odd-outputs.dat", "nagios4/status-acks-downtime.dat",
        "icinga2/status-downtimes.dat"})
    written.push_back(fixture(name));
  struct {
    const char *name;
    std::vector<std::string> options;
    std::function<std::string(int)> snapshot;
  } formats[] = {
      {"status.dat", {}, [&](int poll) {
         return poll % 3 == 0 ? changing_dat(poll) : written[poll % written.size()];
       }},
      {"status.log", {"-x"}, changing_log},
  };
  for (const auto &format : formats) {
    SCOPED_TRACE(format.name);
    fifo_feed feed = make_fifo_feed(make_temp_dir() + "/status");
    std::vector<std::string> argv = {SENTREL_BINARY, "-v", "-i", "0"};
    argv.insert(argv.end(), format.options.begin(), format.options.end());
    argv.insert(argv.end(), {"-f", feed.path});
    running_program program = start_program(argv, {"TZ=UTC"});
    soak_figures figures;
    // Once for each stretch without the file or without anything in it.
    std::string nothing = "status file " + feed.path + " holds no host or service\n";
    std::string gaps_named;
    for (int poll = 0; poll < polls && program_is_running(program); poll++) {
      if (poll % 100 == 49) gaps_named += nothing;
      if (poll % 100 == 99) {
        feed_empty_then_missing(feed, program);
        gaps_named += nothing + "cannot open status file " + feed.path +
                      ": No such file or directory\n";
        continue;
      }
      int held = await_next_poll(feed, program);
      if (poll % 50 == 0) sample(program, feed, poll > warm_up, &figures);
      feed_snapshot(feed, program, poll % 100 == 49 ? "" : format.snapshot(poll));
      close(held);
    }
    // A first poll that meets an unknown state code ends the run through
    // fatal, the normal exit path, where LeakSanitizer reports any leak.
    feed_snapshot(feed, program, "");
    gaps_named += nothing;
    feed_snapshot(feed, program, dat_service("db1", "load", 4, 1, "?") +
                                     log_service("db1", "load", "BROKEN", "HARD", "?"));
    program_result result = stop_program(program, 0);
    EXPECT_EQ(1, result.exit_status);
    EXPECT_EQ(gaps_named, result.err.substr(0, gaps_named.size()));
    EXPECT_TRUE(is_fatal_record(result.err.substr(gaps_named.size()),
                                format.options.empty() ? "internal error: state 4 not known"
                                                       : "internal error: state -1 not known"))
        << result.err.substr(0, 2000);

    std::cout << "soak " << format.name << ": " << polls << " polls, resident " << figures.warm_kb
              << " kB after warm-up, at most " << figures.peak_kb << " kB after that, "
              << figures.descriptors << " descriptors\n";
    EXPECT_TRUE(figures.descriptors_steady);
#ifndef SENTREL_ASAN  // whose quarantine keeps freed memory resident
    if (figures.warm_kb >= 0) {
      EXPECT_LE(figures.peak_kb, figures.warm_kb + 256);
    }
#endif
  }
  if (resident_kb(getpid()) < 0) GTEST_SKIP() << "no /proc: memory and descriptors not measured";
}

}  // namespace
