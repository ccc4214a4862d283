// Whole polls as the watcher makes them, of the kinds that cost differently:
// a first poll, and later polls of the same file, of the file after state
// changes and of the file in another order; and the read floor they are
// measured against.
#ifndef SENTREL_BENCH_POLL_RUNS_H
#define SENTREL_BENCH_POLL_RUNS_H

#include <cstdint>
#include <string>

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
};
enum : int32_t { first_poll, same_order_poll, changed_poll, shuffled_poll, poll_kind_count };
extern const poll_kind poll_kinds[poll_kind_count];

// The watcher's state between polls.
struct poller {
  watch_settings settings;
  stats_array previous;
  source_failure last_failure;
  std::string previous_path;  // of the file `previous` was read from; empty when none
};

// Seconds of one poll of `kind`, after whatever untimed poll it takes to
// hold the kind's previous array. Each timed poll releases one array: the
// previous one, or for a first poll its own, which the watcher would
// release a poll later.
double time_poll(poller *p, const site_files &files, const poll_kind &kind);

// Seconds of a plain read() loop over the file in 4096-byte blocks.
double time_read_floor(const std::string &path);

// Ends the process with a message when `ok` is false.
void require(bool ok, const char *what, const std::string &detail);

#endif
