// Realistic large Nagios status files for benchmarks: a site of hosts with
// services, some in trouble, acknowledged, in downtime or commented, written
// as Nagios 4 writes status.dat or as Nagios 1.x wrote status.log, in file
// order or shuffled. A seed gives the same bytes on every platform and
// library version, so the generator draws from its own small generator.
#ifndef SENTREL_BENCH_STATUS_GENERATOR_H
#define SENTREL_BENCH_STATUS_GENERATOR_H

#include <cstdint>
#include <cstdio>
#include <vector>

// splitmix64: its output is fixed by its definition, unlike that of the
// standard distributions.
struct prng {
  uint64_t state;
};
uint64_t next_random(prng *random);
// True with probability `p`.
bool chance(prng *random, double p);
// A number from 0 to n - 1.
uint32_t random_below(prng *random, uint32_t n);

struct site_shape {
  int32_t hosts = 1000;
  int32_t services_per_host = 10;
  uint64_t seed = 1;
  double problem_fraction = 0.05;       // services not OK
  double soft_fraction = 0.3;           // of those problems, still SOFT
  double down_fraction = 0.01;          // hosts DOWN, all their services CRITICAL
  double acknowledged_fraction = 0.25;  // of HARD problems
  double downtime_fraction = 0.01;      // hosts and services in scheduled downtime
  double comment_fraction = 0.01;       // hosts and services with a user comment
  double pending_fraction = 0.005;      // passive services never checked yet
};

// The state of one host or service, as far as it differs between objects.
struct object_state {
  int32_t state;  // as Nagios writes it: host 0 UP, 1 DOWN; service 0 to 3
  bool hard;
  int32_t attempt;
  bool acknowledged;
  bool in_downtime;
  bool commented;
  bool pending;  // never checked
  int64_t last_state_change;
  int64_t last_hard_state_change;
};

// Hosts first, then the services of host 0, of host 1, ...
struct site {
  site_shape shape;
  int64_t now;
  std::vector<object_state> objects;
};

site make_site(const site_shape &shape);

// The same site one poll (60 seconds) later, `change_fraction` of its hosts
// and services in a new state: problems that start SOFT or HARD, SOFT
// problems that turn HARD, recoveries.
site next_poll(const site &base, double change_fraction, uint64_t seed);

enum class status_format { status_dat, status_log };

// Writes `s` in `format`; `shuffle_seed` 0 keeps Nagios' own order, any
// other seed shuffles the blocks (or lines) that follow the file's head.
void write_status_file(const site &s, status_format format,
                       uint64_t shuffle_seed, FILE *out);

#endif
