// The watcher's settings, read once from the command line and then only read.
// The command line is the whole configuration.
#ifndef SENTREL_WATCHER_WATCH_SETTINGS_H
#define SENTREL_WATCHER_WATCH_SETTINGS_H

#include <cstdint>

struct watch_settings {
  const char *status_source = "/var/spool/nagios/status.dat";  // path or host:port
  bool source_is_file = true;
  bool status_dat_format = true;  // false: the 1.x status.log format
  bool hard_only = true;
  bool verbose = false;
  bool one_line = false;
  int32_t poll_interval = 60;  // seconds
};

// Reads the options into `settings`. -V prints the version line and a bad
// option the usage text; both end the process with status 0. Parsing stops
// at the first operand, which is ignored with everything after it.
void parse_options(int argc, char **argv, watch_settings *settings);

void print_version();
void print_usage();

#endif
