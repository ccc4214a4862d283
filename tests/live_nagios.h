// A real Nagios 4 run by a test: Debian's /usr/sbin/nagios4 in the
// foreground as the test's child, its whole configuration, status file,
// retention file and command pipe in one directory of its own. It checks
// nothing by itself and sends nothing anywhere: results come only through
// the command pipe, and nothing listens on a network port.
#ifndef SENTREL_TESTS_LIVE_NAGIOS_H
#define SENTREL_TESTS_LIVE_NAGIOS_H

#include <string>
#include <vector>

#include "run_program.h"

struct live_nagios {
  std::string dir;  // owned by the nagios user, which Nagios runs as
  std::string status_path;
  running_program process;
};

// Why Nagios cannot be run here, or "" when it can.
std::string why_nagios_cannot_run();

// A fresh directory with a main configuration that rewrites the status file
// every second and keeps states across restarts, and `objects` as its
// object configuration. Nagios is not started yet.
live_nagios prepare_nagios(const std::string &objects);

// Starts Nagios and waits for its first status file; on failure the test
// fails with what Nagios said, and false.
bool start_nagios(live_nagios *nagios);

// Stops Nagios by its process id and waits for its end; nothing when it is
// not running. The test's scope guard calls it too, however the test ends.
void stop_nagios(live_nagios *nagios);

// Sends SIGHUP and waits until Nagios has read its configuration again
// (its status file names a new start); false after a time limit.
bool reload_nagios(const live_nagios &nagios);

// Writes `lines` to the command pipe, each prefixed with "[time] ", as one
// write; false when Nagios never opened the pipe.
bool send_commands(const live_nagios &nagios, long time, const std::vector<std::string> &lines);

// The value of `key` in the status file's first block that has it
// ("version" in the info block, say), or "".
std::string status_value(const live_nagios &nagios, const std::string &key);

#endif
