// Realistic large Nagios status files for benchmarks: a site of hosts with
// services, some in trouble, acknowledged, in downtime or commented, written
// as Nagios 4 writes status.dat or as Nagios 1.x wrote status.log. A seed
// gives the same bytes on every platform.
#ifndef SENTREL_BENCH_STATUS_GENERATOR_H
#define SENTREL_BENCH_STATUS_GENERATOR_H

#include <cstdint>
#include <cstdio>

struct site_shape {
  int32_t hosts = 1000;
  int32_t services_per_host = 10;
  uint64_t seed = 1;
  double problem_fraction = 0.05;  // services not OK
  double change_fraction = -1;     // at least 0: the site one poll later, this much of it changed
  bool shuffled = false;           // the blocks (or lines) after the file's head in random order
};

enum class status_format { status_dat, status_log };

void write_status_file(const site_shape &shape, status_format format, FILE *out);

#endif
