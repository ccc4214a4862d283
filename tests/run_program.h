// Runs a program as a child process with real pipes and collects what it
// wrote, for the tests that check the built binary from outside.
#ifndef SENTREL_TESTS_RUN_PROGRAM_H
#define SENTREL_TESTS_RUN_PROGRAM_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct program_result {
  int exit_status = -1;  // -1 when killed by a signal (see signal)
  int signal = 0;
  std::string out;
  std::string err;
};

// Forks a child that runs `child` with `input` on standard input and its
// standard output and error on pipes, and collects both until they close:
// for programs, and for pieces of the library that end the process. A child
// that returns ends with status 0; one still running after `timeout_seconds`
// is killed with SIGKILL, which shows as signal 9.
program_result run_forked(const std::function<void()> &child, const std::string &input = "",
                          int timeout_seconds = 120);

// Like run_forked, but the child sees a /dev/log of the test's own: a
// datagram socket bound inside a private mount namespace, so the real system
// log is neither needed nor touched; `log` gets each datagram as sent
// ("<pri>timestamp tag: text"). False when no mount namespace can be made
// here (not Linux, or not root); nothing is then filled in.
bool run_forked_with_syslog(const std::function<void()> &child, program_result *result,
                            std::vector<std::string> *log);

// What glibc and BSD syslog put before the message: "<pri>" and the rest of
// the header up to the program's name and ": ".
std::string syslog_message(const std::string &datagram, int *priority);

// Runs `argv` (argv[0] is the path) with `input` on standard input and
// returns its exit status and output. A program still running after
// `timeout_seconds` is killed with SIGKILL; that shows as signal 9.
program_result run_program(const std::vector<std::string> &argv,
                           const std::string &input = "",
                           int timeout_seconds = 20);

// run_program on the built sentrel with these arguments.
program_result run_sentrel(const std::vector<std::string> &arguments,
                           int timeout_seconds = 20);

// A program left running in the background while a test feeds it, its
// standard output and error going to files (so it never blocks on a full
// pipe), its standard input from /dev/null, in a process group of its own.
struct running_program {
  pid_t pid = -1;
  std::string out_path;
  std::string err_path;
};

// Starts `argv` with `environment` ("NAME=value") added to the test's own;
// with `stdout_fd` its standard output is that descriptor instead of a file.
running_program start_program(const std::vector<std::string> &argv,
                              const std::vector<std::string> &environment = {},
                              int stdout_fd = -1);

// Whether the program has not ended yet (it is not reaped here).
bool program_is_running(const running_program &program);

// Sends `signal` unless it is 0, waits for the end (killing the program
// after `timeout_seconds`) and returns its status and output.
program_result stop_program(const running_program &program, int signal,
                            int timeout_seconds = 20);

// Whether `err` is exactly one record of fatal for `message`:
// "message: errno=N (if applicable)\n", whatever N is.
bool is_fatal_record(const std::string &err, const std::string &message);

// A fresh private directory under $TMPDIR (or /tmp) for one test's files.
std::string make_temp_dir();

// Writes `contents` to `path`, replacing it; fails the test on error.
void write_file(const std::string &path, const std::string &contents);

// The whole contents of `path`.
std::string read_file(const std::string &path);

// Asks `done` every 20 ms until it says true; false, and a failure of the
// test that says `awaited` was never seen, after `timeout_seconds`.
bool wait_until(const std::function<bool()> &done, const std::string &awaited,
                int timeout_seconds = 20);

// Waits until the file at `path` holds `text`, reading it anew each time.
bool wait_for_text(const std::string &path, const std::string &text, int timeout_seconds = 20);

// Whether SENTREL_REQUIRE in the environment (words separated by blanks)
// names `part`. CI names there what it installs, so that a test of that
// part cannot pass there as a skip.
bool is_required(const std::string &part);

// Skips the test for `reason`, or fails it where `part` is required.
#define SKIP_UNLESS_REQUIRED(part, reason)                                   \
  do {                                                                       \
    if (is_required(part)) FAIL() << (reason) << " (SENTREL_REQUIRE names " \
                                  << (part) << ")";                          \
    GTEST_SKIP() << (reason);                                                \
  } while (0)

// The whole contents of `name` below tests/fixtures, such as
// "nagios4/status-all-ok.dat"; fails the test when it cannot be read.
std::string fixture(const std::string &name);

#endif
