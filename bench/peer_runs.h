// The tools an operator would run instead of sentrel to list a site's
// problems: each a whole process over the same status.dat, checked to list
// exactly the problems that sentrel's first poll reports.
#ifndef SENTREL_BENCH_PEER_RUNS_H
#define SENTREL_BENCH_PEER_RUNS_H

#include <cstdint>
#include <string>
#include <vector>

#include "poll_runs.h"

struct peer {
  std::string label;
  std::vector<std::string> command;  // the status file's path is added last
};

// Reads "label=command words" (words separated by blanks); false when the
// label or the command is empty.
bool parse_peer(const std::string &text, peer *p);

struct peer_result {
  std::string label;
  int32_t services;
  std::vector<double> seconds;  // each run, whole process
  double peak_rss_mib = 0;      // the most of any run
};

// Runs every peer `runs` times over the base file of `files` (through
// run_process, with `self`), round after round, so that a spell in which
// the machine runs slower falls on all of them alike, and appends a result
// per peer. Ends the benchmark when a peer
// lists other problems than the file `expected` (sentrel's first poll, in
// its one-line form), in whatever order.
void time_peers(const char *self, const std::vector<peer> &peers, const site_files &files,
                int32_t runs, const std::string &expected, std::vector<peer_result> *results);

#endif
