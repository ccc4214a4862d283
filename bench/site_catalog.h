// What the status writers share: the names of a site's hosts and services,
// the checks they run and what those checks print, and the per-object
// numbers that stay the same from poll to poll and in any block order.
#ifndef SENTREL_BENCH_SITE_CATALOG_H
#define SENTREL_BENCH_SITE_CATALOG_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "status_generator.h"

enum : int32_t { service_ok = 0, service_warning = 1, service_critical = 2, service_unknown = 3 };
enum : int32_t { host_up = 0, host_down = 1 };

constexpr int32_t host_max_attempts = 2;
constexpr int32_t service_max_attempts = 3;

// A check as an operator configures it, and what its plugin prints in each
// state (Nagios turns `;` into `:`, so none of these holds one).
struct service_check {
  const char *description;
  const char *command;
  const char *output[4];  // OK, WARNING, CRITICAL, UNKNOWN
  const char *performance_data;
};

// Which object of the site index `i` is: a host, or service `service` of
// host `host`.
struct object_identity {
  bool is_host;
  int32_t host;
  int32_t service;
};
object_identity identify(const site &s, int32_t i);

std::string host_name(int32_t host);
std::string service_description(int32_t service);
const service_check &check_of(int32_t service);
const char *host_output(const object_state &object);
const char *service_output(const object_state &object, int32_t service);

// A random stream of object `i` alone, the same in every poll of a site.
prng object_random(const site &s, int32_t i);

// Numbers that vary between objects but not between polls.
struct check_figures {
  double execution_time;
  double latency;
  int64_t last_check;
  double percent_state_change;
  bool notifications_enabled;
  bool sticky_acknowledgement;
  int32_t event_id;
};
check_figures figures_of(const site &s, int32_t i);

// The order of `count` blocks: as they are, or shuffled by the seed.
std::vector<int32_t> block_order(int32_t count, uint64_t shuffle_seed);

void write_status_dat(const site &s, uint64_t shuffle_seed, FILE *out);
void write_status_log(const site &s, uint64_t shuffle_seed, FILE *out);

#endif
