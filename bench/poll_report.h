// What a benchmark run found: the table of polls against the read floor,
// the peers' whole processes against sentrel's first poll in a fresh
// process, and the figures the chart is drawn from.
#ifndef SENTREL_BENCH_POLL_REPORT_H
#define SENTREL_BENCH_POLL_REPORT_H

#include <cstdint>
#include <cstdio>
#include <vector>

#include "peer_runs.h"
#include "status_generator.h"

struct poll_result {
  status_format format;
  int32_t services;
  int32_t kind;  // index into poll_kinds
  int64_t bytes;
  std::vector<double> floor_seconds;  // the read floor timed right before each poll
  std::vector<double> seconds;        // each timed poll, in order
  double peak_rss_mib = -1;           // -1: not measured
};

// Markdown: a row per format, size and kind of poll.
void print_poll_table(FILE *out, const std::vector<poll_result> &results);

// Markdown: a row per size and tool, sentrel's fresh first poll first.
void print_peer_table(FILE *out, const std::vector<peer_result> &peers,
                      const std::vector<poll_result> &results);

// Gnuplot data: a block per format, a line per size with the median read
// floor, the median time of each kind of poll and, for status.dat, of each
// peer ("?" where it was not run), in milliseconds. Each block begins with
// a line of column titles.
void write_chart_data(FILE *out, const std::vector<poll_result> &results,
                      const std::vector<peer_result> &peers);

#endif
