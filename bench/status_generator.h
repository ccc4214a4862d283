// Realistic large Nagios status files for benchmarks: a site of hosts with
// services, some in trouble, acknowledged, in downtime or commented, written
// as Nagios 4 writes status.dat or as Nagios 1.x wrote status.log, in file
// order or shuffled. A seed gives the same bytes on every platform.
#ifndef SENTREL_BENCH_STATUS_GENERATOR_H
#define SENTREL_BENCH_STATUS_GENERATOR_H

#include <cstdint>
#include <cstdio>
#include <vector>

// splitmix64: unlike the standard distributions, its output is fixed by its
// definition.
struct prng {
  uint64_t state;
};
uint64_t next_random(prng *random);
bool chance(prng *random, double p);              // true with probability p
uint32_t random_below(prng *random, uint32_t n);  // 0 to n - 1

// States as Nagios writes them.
enum : int32_t { service_ok, service_warning, service_critical, service_unknown };
enum : int32_t { host_up, host_down };
constexpr int32_t host_max_attempts = 2;
constexpr int32_t service_max_attempts = 3;

struct site_shape {
  int32_t hosts = 1000;
  int32_t services_per_host = 10;
  uint64_t seed = 1;
  double problem_fraction = 0.05;  // services not OK
};

// What differs between hosts or services.
struct object_state {
  int32_t state;
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
// and services in a new state.
site next_poll(const site &base, double change_fraction, uint64_t seed);

enum class status_format { status_dat, status_log };

// `shuffle_seed` 0 keeps Nagios' own order; any other seed shuffles the
// blocks (or lines) after the file's head.
void write_status_file(const site &s, status_format format, uint64_t shuffle_seed, FILE *out);

#endif
