#include "status_generator.h"

#include "site_catalog.h"

namespace {

// When the base site was written: the time the Nagios 4 fixtures were.
constexpr int64_t site_epoch = 1796748586;
constexpr int64_t poll_interval = 60;

int64_t seconds_ago(prng *random, int64_t now, uint32_t at_most) {
  return now - 1 - random_below(random, at_most);
}

object_state up_host(prng *random, int64_t now) {
  object_state host{};
  host.hard = true;
  host.attempt = 1;
  host.last_state_change = host.last_hard_state_change = seconds_ago(random, now, 30 * 86400);
  return host;
}

object_state down_host(prng *random, int64_t now) {
  object_state host{};
  host.state = host_down;
  host.hard = true;
  host.attempt = host_max_attempts;
  host.last_state_change = host.last_hard_state_change = seconds_ago(random, now, 6 * 3600);
  return host;
}

int32_t problem_state(prng *random) {
  uint32_t roll = random_below(random, 20);
  return roll < 9 ? service_warning : roll < 18 ? service_critical : service_unknown;
}

object_state service_in(int32_t state, bool hard, prng *random, int64_t now) {
  object_state service{};
  service.state = state;
  service.hard = hard;
  service.attempt = hard ? (state == service_ok ? 1 : service_max_attempts)
                         : 1 + static_cast<int32_t>(random_below(random, service_max_attempts - 1));
  uint32_t window = state == service_ok ? 30 * 86400 : 6 * 3600;
  service.last_state_change = seconds_ago(random, now, window);
  service.last_hard_state_change = hard ? service.last_state_change : seconds_ago(random, now, 30 * 86400);
  return service;
}

object_state new_service(const site_shape &shape, bool host_is_down, prng *random, int64_t now) {
  if (host_is_down) return service_in(service_critical, true, random, now);
  if (chance(random, shape.pending_fraction)) {
    object_state service{};
    service.hard = true;
    service.attempt = 1;
    service.pending = true;
    return service;
  }
  if (!chance(random, shape.problem_fraction)) return service_in(service_ok, true, random, now);
  return service_in(problem_state(random), !chance(random, shape.soft_fraction), random, now);
}

void add_annotations(const site_shape &shape, prng *random, object_state *object) {
  bool hard_problem = object->hard && object->state != 0;
  object->acknowledged = hard_problem && chance(random, shape.acknowledged_fraction);
  object->in_downtime = chance(random, shape.downtime_fraction);
  object->commented = chance(random, shape.comment_fraction);
}

// The next state of a service whose state changes this poll.
void change_service(prng *random, int64_t now, object_state *service) {
  if (!service->pending && service->state != service_ok && !service->hard && chance(random, 0.5)) {
    service->hard = true;  // a SOFT problem confirmed: the same state, now HARD
    service->attempt = service_max_attempts;
    service->last_hard_state_change = now;
    return;
  }
  bool recovers = !service->pending && service->state != service_ok;
  if (recovers || service->pending)
    *service = service_in(service_ok, true, random, now);
  else
    *service = service_in(problem_state(random), chance(random, 0.3), random, now);
  service->last_state_change = now;
  if (service->hard) service->last_hard_state_change = now;
}

void change_host(prng *random, int64_t now, object_state *host) {
  *host = host->state == host_up ? down_host(random, now) : up_host(random, now);
  host->last_state_change = host->last_hard_state_change = now;
}

}  // namespace

uint64_t next_random(prng *random) {
  uint64_t z = (random->state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

bool chance(prng *random, double p) {
  return static_cast<double>(next_random(random) >> 11) * 0x1.0p-53 < p;
}

uint32_t random_below(prng *random, uint32_t n) {
  return static_cast<uint32_t>(((next_random(random) >> 32) * n) >> 32);
}

site make_site(const site_shape &shape) {
  site s{shape, site_epoch, {}};
  prng random{shape.seed};
  for (int32_t h = 0; h < shape.hosts; h++) {
    bool down = chance(&random, shape.down_fraction);
    s.objects.push_back(down ? down_host(&random, s.now) : up_host(&random, s.now));
  }
  for (int32_t h = 0; h < shape.hosts; h++)
    for (int32_t j = 0; j < shape.services_per_host; j++)
      s.objects.push_back(new_service(shape, s.objects[static_cast<size_t>(h)].state != host_up,
                                      &random, s.now));
  for (object_state &object : s.objects) add_annotations(shape, &random, &object);
  return s;
}

site next_poll(const site &base, double change_fraction, uint64_t seed) {
  site next = base;
  next.now = base.now + poll_interval;
  prng random{seed};
  for (size_t i = 0; i < next.objects.size(); i++) {
    if (!chance(&random, change_fraction)) continue;
    object_state *object = &next.objects[i];
    bool was_acknowledged = object->acknowledged;
    if (i < static_cast<size_t>(base.shape.hosts))
      change_host(&random, next.now, object);
    else
      change_service(&random, next.now, object);
    // A sticky acknowledgement outlives a change of problem, not a recovery.
    object->acknowledged = was_acknowledged && object->state != 0;
    object->in_downtime = base.objects[i].in_downtime;
    object->commented = base.objects[i].commented;
  }
  return next;
}

void write_status_file(const site &s, status_format format, uint64_t shuffle_seed,
                       FILE *out) {
  if (format == status_format::status_dat)
    write_status_dat(s, shuffle_seed, out);
  else
    write_status_log(s, shuffle_seed, out);
}
