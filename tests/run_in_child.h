// Runs a piece of the library in a forked child, for code that ends the
// process: its exit status, everything it wrote to standard output and
// standard error, and optionally what it sent to the system log.
#ifndef SENTREL_TESTS_RUN_IN_CHILD_H
#define SENTREL_TESTS_RUN_IN_CHILD_H

#include <functional>
#include <string>
#include <vector>

struct child_result {
  int exit_status = -1;  // -1 when the child died from a signal
  std::string out;
  std::string err;
  // Datagrams that reached /dev/log, each as sent ("<pri>timestamp tag: text").
  std::vector<std::string> log;
};

// Runs `body` in a child with its standard output and error on pipes; a body
// that returns ends the child with status 0.
child_result run_in_child(const std::function<void()> &body);

// Like run_in_child, but the child sees a /dev/log of the test's own: a
// datagram socket bound inside a private mount namespace, so the real system
// log is neither needed nor touched. False when no mount namespace can be
// made here (not Linux, or not root); the result is then untouched.
bool run_in_child_with_syslog(const std::function<void()> &body, child_result *result);

// What glibc and BSD syslog put before the message: "<pri>" and the rest of
// the header up to the program's name and ": ".
std::string syslog_message(const std::string &datagram, int *priority);

#endif
