// The site's hosts and services and how they change from poll to poll; how
// they look on disk is in status_writers.cpp.
#include "status_generator.h"

namespace {

// When the base site was written: the time the Nagios 4 fixtures were.
constexpr int64_t site_epoch = 1796748586;
constexpr int64_t poll_interval = 60;

constexpr double soft_fraction = 0.3;           // of the service problems
constexpr double down_fraction = 0.01;          // hosts, all their services CRITICAL
constexpr double acknowledged_fraction = 0.25;  // of HARD problems
constexpr double downtime_fraction = 0.01;      // hosts and services
constexpr double comment_fraction = 0.01;       // hosts and services with a user comment
constexpr double pending_fraction = 0.005;      // passive services never checked

int64_t seconds_ago(prng *random, int64_t now, uint32_t at_most) {
  return now - 1 - random_below(random, at_most);
}

object_state host_in(int32_t state, prng *random, int64_t now) {
  object_state host{};
  host.state = state;
  host.hard = true;
  host.attempt = state == host_up ? 1 : host_max_attempts;
  host.last_state_change = seconds_ago(random, now, state == host_up ? 30 * 86400 : 6 * 3600);
  host.last_hard_state_change = host.last_state_change;
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
  service.last_state_change = seconds_ago(random, now, state == service_ok ? 30 * 86400 : 6 * 3600);
  service.last_hard_state_change =
      hard ? service.last_state_change : seconds_ago(random, now, 30 * 86400);
  return service;
}

object_state new_service(const site_shape &shape, bool host_is_down, prng *random, int64_t now) {
  if (host_is_down) return service_in(service_critical, true, random, now);
  if (chance(random, pending_fraction)) {
    object_state service{};
    service.hard = true;
    service.attempt = 1;
    service.pending = true;
    return service;
  }
  if (!chance(random, shape.problem_fraction)) return service_in(service_ok, true, random, now);
  return service_in(problem_state(random), !chance(random, soft_fraction), random, now);
}

// The next state of a service whose state changes this poll.
void change_service(prng *random, int64_t now, object_state *service) {
  if (!service->pending && service->state != service_ok && !service->hard && chance(random, 0.5)) {
    service->hard = true;  // a SOFT problem confirmed
    service->attempt = service_max_attempts;
    service->last_hard_state_change = now;
    return;
  }
  if (service->pending || service->state != service_ok)
    *service = service_in(service_ok, true, random, now);
  else
    *service = service_in(problem_state(random), chance(random, 0.3), random, now);
  service->last_state_change = now;
  if (service->hard) service->last_hard_state_change = now;
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
  for (int32_t h = 0; h < shape.hosts; h++)
    s.objects.push_back(host_in(chance(&random, down_fraction) ? host_down : host_up, &random, s.now));
  for (int32_t h = 0; h < shape.hosts; h++)
    for (int32_t j = 0; j < shape.services_per_host; j++)
      s.objects.push_back(new_service(shape, s.objects[static_cast<size_t>(h)].state != host_up,
                                      &random, s.now));
  for (object_state &o : s.objects) {
    o.acknowledged = o.hard && o.state != 0 && chance(&random, acknowledged_fraction);
    o.in_downtime = chance(&random, downtime_fraction);
    o.commented = chance(&random, comment_fraction);
  }
  return s;
}

site next_poll(const site &base, double change_fraction, uint64_t seed) {
  site next = base;
  next.now = base.now + poll_interval;
  prng random{seed};
  for (size_t i = 0; i < next.objects.size(); i++) {
    if (!chance(&random, change_fraction)) continue;
    object_state *o = &next.objects[i];
    if (i < static_cast<size_t>(base.shape.hosts)) {
      *o = host_in(o->state == host_up ? host_down : host_up, &random, next.now);
      o->last_state_change = o->last_hard_state_change = next.now;
    } else {
      change_service(&random, next.now, o);
    }
    // A sticky acknowledgement outlives a change of problem, not a recovery.
    o->acknowledged = base.objects[i].acknowledged && o->state != 0;
    o->in_downtime = base.objects[i].in_downtime;
    o->commented = base.objects[i].commented;
  }
  return next;
}
