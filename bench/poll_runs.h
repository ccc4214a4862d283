// Whole polls as the watcher makes them, of the kinds that cost differently:
// a first poll, and later polls of the same file, of the file after state
// changes and of the file in another order; and the read floor they are
// measured against.
#ifndef SENTREL_BENCH_POLL_RUNS_H
#define SENTREL_BENCH_POLL_RUNS_H

#include <cstdint>
#include <string>
#include <vector>

#include "status/stats_array.h"
#include "status_generator.h"
#include "watcher/polling_loop.h"
#include "watcher/watch_settings.h"

// The files of one site: as written, its next poll, and shuffled.
enum file_role : int32_t { base_file, next_file, shuffled_file, no_file };
constexpr int32_t file_roles = 3;

struct site_files {
  status_format format;
  int32_t services;
  std::string path[file_roles];
};

struct poll_kind {
  const char *name;
  file_role previous;  // no_file: the poll is a first poll
  file_role current;
  bool fresh_process;  // made by a process started for it alone, as at sentrel's start
};
enum : int32_t {
  first_poll,
  fresh_first_poll,
  same_order_poll,
  changed_poll,
  shuffled_poll,
  poll_kind_count
};
extern const poll_kind poll_kinds[poll_kind_count];

// The watcher's state between polls.
struct poller {
  watch_settings settings;
  watch_state state;
  std::string previous_path;  // of the file `previous` was read from; empty when none
};

// Seconds of one poll of `kind`, after whatever untimed poll it takes to
// hold the kind's previous array. Each timed poll releases one array: the
// previous one, or for a first poll its own, which the watcher would
// release a poll later.
double time_poll(poller *p, const site_files &files, const poll_kind &kind);

// Seconds of a plain read() loop over the file in 4096-byte blocks.
double time_read_floor(const std::string &path);

// A whole process, from its start to its end, and the most memory it held.
struct process_run {
  double seconds;
  double peak_rss_mib;
};

// Runs `argv` (the program looked up in $PATH) with its standard output
// into the file `out_path`; ends the benchmark unless it exits with 0. A
// small process of this program (`self`) starts it and measures it: on
// Linux a process's peak memory counts that of the process it was started
// from, and this one holds large arrays.
process_run run_process(const char *self, const std::vector<std::string> &argv,
                        const std::string &out_path);

// That small process's part, given `launch_flag`, the output path and the
// command; prints the seconds and the peak memory, returns the exit status.
extern const char launch_flag[];
int launch_child(int argc, char **argv);

// A fresh process of this program (`self`) that makes one first poll of
// the base file as the watcher does, its reports on one line each into
// `out_path`, and ends: what a user waits for when sentrel starts.
process_run run_fresh_first_poll(const char *self, const site_files &files,
                                 const std::string &out_path);

// That process's part, given the arguments that run_fresh_first_poll
// passes after `fresh_first_poll_flag`; returns the exit status.
extern const char fresh_first_poll_flag[];
int fresh_first_poll_child(const char *format, const char *path);

// Ends the process with a message when `ok` is false.
void require(bool ok, const char *what, const std::string &detail);

#endif
