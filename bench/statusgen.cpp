// sentrel-statusgen: writes a generated site of any size, some of it in trouble, acknowledged or
// in downtime, as Nagios 4.4's status.dat or Nagios 1.x's status.log; a seed gives the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

struct site_shape {
  int32_t hosts = 1000, services_per_host = 10;
  uint64_t seed = 1;
  double problem_fraction = 0.05;  // services not OK
  double change_fraction = -1;     // at least 0: the site one poll later, this much of it changed
};

// splitmix64's state: unlike the standard distributions, its output is fixed by its definition.
using prng = uint64_t;

uint64_t next_random(prng *random) {
  uint64_t z = (*random += 0x9e3779b97f4a7c15ULL);
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

// States as Nagios writes them.
enum : int32_t { service_ok, service_warning, service_critical, service_unknown };
enum : int32_t { host_up, host_down };
constexpr int32_t host_max_attempts = 2, service_max_attempts = 3;

// What differs between hosts or services.
struct object_state {
  int32_t state;
  bool hard;
  int32_t attempt;
  bool acknowledged, in_downtime, commented, pending;  // pending: never checked
  int64_t last_state_change, last_hard_state_change;
};

enum : int32_t { comment_user = 1, comment_downtime = 2, comment_acknowledgement = 4 };

// A comment block, and the downtime block it explains if any.
struct annotation {
  int32_t object, entry_type, comment_id;
  int32_t downtime_id;  // 0: no downtime
};

struct site {
  site_shape shape;
  int64_t now;
  std::vector<object_state> objects;  // hosts first, then the services of host 0, of host 1, ...
  std::vector<annotation> comments, downtimes;  // as annotate() numbers them for status.dat
};

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
  int64_t changed = seconds_ago(random, now, state == host_up ? 30 * 86400 : 6 * 3600);
  return {state, true, state == host_up ? 1 : host_max_attempts, false, false, false, false,
          changed, changed};
}

int32_t problem_state(prng *random) {
  uint32_t roll = random_below(random, 20);
  return roll < 9 ? service_warning : roll < 18 ? service_critical : service_unknown;
}

object_state service_in(int32_t state, bool hard, prng *random, int64_t now) {
  int32_t attempt = hard ? (state == service_ok ? 1 : service_max_attempts)
                         : 1 + static_cast<int32_t>(random_below(random, service_max_attempts - 1));
  int64_t changed = seconds_ago(random, now, state == service_ok ? 30 * 86400 : 6 * 3600);
  return {state, hard, attempt, false, false, false, false, changed,
          hard ? changed : seconds_ago(random, now, 30 * 86400)};
}

object_state new_service(const site_shape &shape, bool host_is_down, prng *random, int64_t now) {
  if (host_is_down) return service_in(service_critical, true, random, now);
  if (chance(random, pending_fraction)) return {service_ok, true, 1, false, false, false, true, 0, 0};
  if (!chance(random, shape.problem_fraction)) return service_in(service_ok, true, random, now);
  // Whether a problem is HARD is drawn before its state, on every compiler.
  bool hard = !chance(random, soft_fraction);
  return service_in(problem_state(random), hard, random, now);
}

// The next state of a service whose state changes this poll.
void change_service(prng *random, int64_t now, object_state *service) {
  if (!service->pending && service->state != service_ok && !service->hard && chance(random, 0.5)) {
    service->hard = true;  // a SOFT problem confirmed
    service->attempt = service_max_attempts;
    service->last_hard_state_change = now;
    return;
  }
  bool recovers = service->pending || service->state != service_ok;
  bool hard = recovers || chance(random, 0.3);  // drawn before a problem's state
  *service = service_in(recovers ? service_ok : problem_state(random), hard, random, now);
  service->last_state_change = now;
  if (service->hard) service->last_hard_state_change = now;
}

site make_site(const site_shape &shape) {
  site s{shape, site_epoch, {}, {}, {}};
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

const char *const host_roles[] = {"web", "app", "db", "cache", "mail", "lb", "sw", "fw", "vm", "nas"};
constexpr int32_t host_role_count = sizeof host_roles / sizeof host_roles[0];

// A check and what its plugin prints in each state (none holds a `;`: Nagios turns it into `:`).
struct service_check {
  const char *description;
  const char *command;
  const char *output[4];  // OK, WARNING, CRITICAL, UNKNOWN
  const char *performance_data;
};

const service_check service_checks[] = {
    {"PING", "check_ping!100.0,20%!500.0,60%", {"PING OK - Packet loss = 0%, RTA = 0.41 ms",
     "PING WARNING - Packet loss = 20%, RTA = 180.22 ms", "PING CRITICAL - Packet loss = 100%",
     "(Service check timed out after 60.01 seconds)"},
     "rta=0.410000ms;100.000000;500.000000;0.000000 pl=0%;20;60;0"},
    {"SSH", "check_ssh", {"SSH OK - OpenSSH_9.2p1 Debian-2+deb12u3 (protocol 2.0)",
     "SSH WARNING - OpenSSH_7.4 (protocol 2.0) version mismatch",
     "connect to address 10.20.0.17 and port 22: Connection refused",
     "(Service check timed out after 60.01 seconds)"}, "time=0.012107s;;;0.000000;10.000000"},
    {"Load", "check_nrpe!check_load", {"OK - load average: 0.52, 0.48, 0.41",
     "WARNING - load average: 6.12, 5.98, 5.10", "CRITICAL - load average: 14.87, 12.02, 9.55",
     "NRPE: Unable to read output"},
     "load1=0.520;5.000;10.000;0; load5=0.480;4.000;8.000;0; load15=0.410;3.000;6.000;0;"},
    {"Disk /", "check_nrpe!check_disk_root", {"DISK OK - free space: / 18432 MiB (62% inode=91%):",
     "DISK WARNING - free space: / 2764 MiB (9% inode=88%):",
     "DISK CRITICAL - free space: / 512 MiB (2% inode=80%):", "DISK UNKNOWN - Could not stat /"},
     "/=11264MiB;26624;28160;0;29696"},
    {"Disk /var", "check_nrpe!check_disk_var", {"DISK OK - free space: /var 40960 MiB (40% inode=97%):",
     "DISK WARNING - free space: /var 9216 MiB (9% inode=95%):",
     "DISK CRITICAL - free space: /var 1024 MiB (1% inode=93%):", "DISK UNKNOWN - Could not stat /var"},
     "/var=61440MiB;92160;97280;0;102400"},
    {"Swap", "check_nrpe!check_swap", {"SWAP OK - 100% free (2047 MB out of 2047 MB)",
     "SWAP WARNING - 38% free (778 MB out of 2047 MB)",
     "SWAP CRITICAL - 4% free (81 MB out of 2047 MB)", "SWAP UNKNOWN - no swap configured"},
     "swap=2047MB;409;204;0;2047"},
    {"NTP", "check_ntp_time!ntp.example.net", {"NTP OK: Offset 0.000731 secs",
     "NTP WARNING: Offset 62.1843 secs", "NTP CRITICAL: Offset 131.502 secs",
     "NTP UNKNOWN: No response from NTP server"}, "offset=0.000731s;60.000000;120.000000;"},
    {"HTTP", "check_http!-u /health",
     {"HTTP OK: HTTP/1.1 200 OK - 612 bytes in 0.004 second response time",
     "HTTP WARNING: HTTP/1.1 404 Not Found - 318 bytes in 0.003 second response time",
     "HTTP CRITICAL: HTTP/1.1 503 Service Unavailable - 389 bytes in 0.002 second response time",
     "HTTP UNKNOWN - Could not parse arguments"},
     "time=0.004211s;1.000000;5.000000;0.000000 size=612B;;;0"},
    {"HTTPS", "check_http!--ssl -C 21,7",
     {"SSL OK - Certificate 'www.example.net' will expire on 2027-03-14 08:00 +0000/GMT.",
     "SSL WARNING - Certificate 'www.example.net' expires in 12 day(s) (2026-12-21 08:00 +0000/GMT).",
     "SSL CRITICAL - Certificate 'www.example.net' expired on 2026-12-01 08:00 +0000/GMT.",
     "SSL UNKNOWN - Cannot retrieve server certificate."}, ""},
    {"Procs", "check_nrpe!check_total_procs", {"PROCS OK: 142 processes",
     "PROCS WARNING: 412 processes", "PROCS CRITICAL: 603 processes",
     "NRPE: Command 'check_total_procs' not defined"}, "procs=142;400;500;0;"},
    {"Memory", "check_nrpe!check_mem", {"MEMORY OK - 38% used (3112 MB out of 8192 MB)",
     "MEMORY WARNING - 86% used (7045 MB out of 8192 MB)",
     "MEMORY CRITICAL - 97% used (7946 MB out of 8192 MB)",
     "MEMORY UNKNOWN - /proc/meminfo not readable"}, "used=3112MB;6963;7782;0;8192"},
    {"Backup Age", "check_dummy!0", {"OK - last backup 6 hours ago",
     "WARNING - last backup 27 hours ago", "CRITICAL - last backup 49 hours ago",
     "UNKNOWN - backup catalogue unreadable"}, "age=21600s;86400;172800;0;"},
};
constexpr int32_t service_check_count = sizeof service_checks / sizeof service_checks[0];

const char *const contacts[] = {"ops", "nightshift", "dba", "netops", "webteam", "oncall", "noc", "security"};
constexpr int32_t contact_count = sizeof contacts / sizeof contacts[0];
const char *const teams[] = {"web team", "dba team", "network", "platform", "mail team"};

// Object `i` of the site: a host, or service `service` of host `host`.
struct object_identity {
  bool is_host;
  int32_t host, service;
};

object_identity identify(const site &s, int32_t i) {
  if (i < s.shape.hosts) return {true, i, -1};
  int32_t service = i - s.shape.hosts;
  return {false, service / s.shape.services_per_host, service % s.shape.services_per_host};
}

std::string host_name(int32_t host) {
  char name[64];
  snprintf(name, sizeof name, "%s-%04d.dc%d.example.net", host_roles[host % host_role_count],
           host / host_role_count + 1, host % 3 + 1);
  return name;
}

const service_check &check_of(int32_t service) { return service_checks[service % service_check_count]; }

// Beyond the catalogue a host runs further instances of the same checks.
std::string service_description(int32_t service) {
  std::string description = check_of(service).description;
  int32_t instance = service / service_check_count;
  if (instance > 0) description += " #" + std::to_string(instance + 1);
  return description;
}

const char *host_output(const object_state &o) {
  return o.state == host_up ? "PING OK - Packet loss = 0%, RTA = 0.10 ms"
                            : "CRITICAL - Host Unreachable (10.20.0.17)";
}

const char *service_output(const object_state &o, int32_t service) {
  return o.pending ? "" : check_of(service).output[o.state];
}

// Figures that differ between objects but not between polls, from each object's own stream.
struct check_figures {
  double execution_time, latency;
  int64_t last_check;
  double percent_state_change;
  bool notifications_enabled, sticky_acknowledgement;
  int32_t event_id;
};

check_figures figures_of(const site &s, int32_t i) {
  prng mixer{s.shape.seed * 0x9e3779b97f4a7c15ULL + static_cast<uint64_t>(i)};
  prng r{next_random(&mixer)};
  return {0.001 * (1 + random_below(&r, 900)), 0.001 * random_below(&r, 250),
          s.now - random_below(&r, 300),       0.01 * random_below(&r, 2500),
          !chance(&r, 0.02),                   chance(&r, 0.5),
          static_cast<int32_t>(random_below(&r, 100000))};
}

// Writes `b`, the file's head, then `count` blocks (or lines) that `append_block` appends by
// number: in that order, or shuffled by a seed that is not 0.
template <typename Append>
void write_blocks(std::string b, int32_t count, uint64_t shuffle_seed, FILE *out, Append append_block) {
  std::vector<int32_t> order(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; i++) order[static_cast<size_t>(i)] = i;
  prng random{shuffle_seed};
  for (int32_t i = count - 1; shuffle_seed != 0 && i > 0; i--)  // Fisher-Yates
    std::swap(order[static_cast<size_t>(i)], order[random_below(&random, static_cast<uint32_t>(i) + 1)]);
  for (int32_t k : order) {
    append_block(&b, k);
    if (b.size() < 1 << 16) continue;
    fwrite(b.data(), 1, b.size(), out);
    b.clear();
  }
  fwrite(b.data(), 1, b.size(), out);
}

// A key's or a field's value as Nagios prints it.
struct value_text {
  std::string text;
  value_text(const char *value) : text(value) {}
  value_text(std::string value) : text(std::move(value)) {}
  template <typename Integer, typename = std::enable_if_t<std::is_integral<Integer>::value>>
  value_text(Integer value) : text(std::to_string(static_cast<int64_t>(value))) {}
};
std::string fixed(double value, int decimals) {
  char digits[64];
  snprintf(digits, sizeof digits, "%.*f", decimals, value);
  return digits;
}

// Appends "\tname=value\n" for each name and value.
void keys(std::string *b, std::initializer_list<std::pair<const char *, value_text>> pairs) {
  for (const auto &pair : pairs) *b += '\t' + std::string(pair.first) + '=' + pair.second.text + '\n';
}

// Appends ";value" for each value.
void fields(std::string *line, std::initializer_list<value_text> values) {
  for (const value_text &value : values) *line += ';' + value.text;
}

// status.dat

const char dat_head[] =
    "########################################\n#          NAGIOS STATUS FILE\n#\n"
    "# THIS FILE IS AUTOMATICALLY GENERATED\n# BY NAGIOS.  DO NOT MODIFY THIS FILE!\n"
    "########################################\n\n";

// The runs of keys that hosts and services share in the same order.
void check_keys(std::string *b, const object_state &o, const check_figures &f) {
  keys(b, {{"check_period", "24x7"}, {"notification_period", "24x7"}, {"importance", 0},
           {"check_interval", "5.000000"}, {"retry_interval", "1.000000"}, {"event_handler", ""},
           {"has_been_checked", !o.pending}, {"should_be_scheduled", !o.pending},
           {"check_execution_time", fixed(f.execution_time, 3)},
           {"check_latency", fixed(f.latency, 3)}, {"check_type", o.pending},
           {"current_state", o.state}, {"last_hard_state", o.hard ? o.state : 0},
           {"last_event_id", f.event_id}, {"current_event_id", f.event_id + 1},
           {"current_problem_id", o.state != 0 ? f.event_id / 2 + 1 : 0},
           {"last_problem_id", f.event_id / 2}});
}

void closing_keys(std::string *b, const site &s, const object_state &o, const check_figures &f) {
  keys(b, {{"flap_detection_enabled", 1}, {"process_performance_data", 1}, {"obsess", 1},
           {"last_update", s.now}, {"is_flapping", 0},
           {"percent_state_change", fixed(o.state != 0 ? f.percent_state_change : 0.0, 2)},
           {"scheduled_downtime_depth", o.in_downtime}});
}

void host_block(std::string *b, const site &s, int32_t host) {
  const object_state &o = s.objects[static_cast<size_t>(host)];
  check_figures f = figures_of(s, host);
  bool notified = o.hard && o.state != 0;
  *b += "hoststatus {\n";
  keys(b, {{"host_name", host_name(host)}, {"modified_attributes", 0},
           {"check_command", "check-host-alive"}});
  check_keys(b, o, f);
  const char *performance = "rta=0.100000ms;3000.000000;5000.000000;0.000000 pl=0%;80;100;0";
  keys(b, {{"plugin_output", host_output(o)}, {"long_plugin_output", ""},
           {"performance_data", o.state == host_up ? performance : ""},
           {"last_check", f.last_check}, {"next_check", f.last_check + 300}, {"check_options", 0},
           {"current_attempt", o.attempt}, {"max_attempts", host_max_attempts},
           {"state_type", o.hard}, {"last_state_change", o.last_state_change},
           {"last_hard_state_change", o.last_hard_state_change},
           {"last_time_up", o.state == host_up ? f.last_check : o.last_state_change - 60},
           {"last_time_down", o.state == host_down ? f.last_check : 0},
           {"last_time_unreachable", 0},
           {"last_notification", notified ? o.last_hard_state_change : 0},
           {"next_notification", notified ? o.last_hard_state_change + 3600 : 0},
           {"no_more_notifications", 0}, {"current_notification_number", notified},
           {"current_notification_id", notified ? f.event_id : 0},
           {"notifications_enabled", f.notifications_enabled},
           {"problem_has_been_acknowledged", o.acknowledged},
           {"acknowledgement_type", o.acknowledged ? (f.sticky_acknowledgement ? 2 : 1) : 0},
           {"active_checks_enabled", 1}, {"passive_checks_enabled", 1}, {"event_handler_enabled", 1}});
  closing_keys(b, s, o, f);
  char rack[32];
  snprintf(rack, sizeof rack, "0;R%02d-U%02d", host / 40 % 100, host % 40 + 1);
  keys(b, {{"_RACK", rack}});
  if (host % 2 == 0) keys(b, {{"_OWNER", std::string("0;") + teams[host / 2 % 5]}});
  *b += "\t}\n\n";
}

void service_block(std::string *b, const site &s, int32_t i) {
  const object_state &o = s.objects[static_cast<size_t>(i)];
  object_identity id = identify(s, i);
  const service_check &check = check_of(id.service);
  check_figures f = figures_of(s, i);
  int64_t checked = o.pending ? 0 : f.last_check;
  bool notified = o.hard && o.state != 0;
  *b += "servicestatus {\n";
  keys(b, {{"host_name", host_name(id.host)},
           {"service_description", service_description(id.service)},
           {"modified_attributes", o.pending ? 2 : 0}, {"check_command", check.command}});
  check_keys(b, o, f);
  keys(b, {{"current_attempt", o.attempt}, {"max_attempts", service_max_attempts},
           {"state_type", o.hard}, {"last_state_change", o.last_state_change},
           {"last_hard_state_change", o.last_hard_state_change},
           {"last_time_ok", o.state == service_ok ? checked : o.last_state_change - 60},
           {"last_time_warning", o.state == service_warning ? checked : 0},
           {"last_time_unknown", o.state == service_unknown ? checked : 0},
           {"last_time_critical", o.state == service_critical ? checked : 0},
           {"plugin_output", service_output(o, id.service)}, {"long_plugin_output", ""},
           {"performance_data", o.pending ? "" : check.performance_data}, {"last_check", checked},
           {"next_check", o.pending ? 0 : f.last_check + 300}, {"check_options", 0},
           {"current_notification_number", notified},
           {"current_notification_id", notified ? f.event_id : 0},
           {"last_notification", notified ? o.last_hard_state_change : 0},
           {"next_notification", notified ? o.last_hard_state_change + 3600 : 0},
           {"no_more_notifications", 0}, {"notifications_enabled", f.notifications_enabled},
           {"active_checks_enabled", !o.pending}, {"passive_checks_enabled", 1},
           {"event_handler_enabled", 1}, {"problem_has_been_acknowledged", o.acknowledged},
           {"acknowledgement_type", o.acknowledged ? (f.sticky_acknowledgement ? 2 : 1) : 0}});
  closing_keys(b, s, o, f);
  if (id.service % 4 == 0) keys(b, {{"_OWNER", std::string("0;") + teams[id.host % 5]}});
  *b += "\t}\n\n";
}

void contact_block(std::string *b, const site &s, int32_t contact) {
  *b += "contactstatus {\n";
  keys(b, {{"contact_name", contacts[contact]}, {"modified_attributes", 0},
           {"modified_host_attributes", 0}, {"modified_service_attributes", 0},
           {"host_notification_period", "24x7"}, {"service_notification_period", "24x7"},
           {"last_host_notification", s.now - 40 * contact},
           {"last_service_notification", s.now - 25 * contact}, {"host_notifications_enabled", 1},
           {"service_notifications_enabled", 1}});
  *b += "\t}\n\n";
}

// Opens a comment's or downtime's block (`kind`) with the host (and service) it is for.
void annotation_head(std::string *b, const site &s, int32_t i, const char *kind) {
  object_identity id = identify(s, i);
  *b += (id.is_host ? "host" : "service") + std::string(kind) + " {\n";
  keys(b, {{"host_name", host_name(id.host)}});
  if (!id.is_host) keys(b, {{"service_description", service_description(id.service)}});
}

// Comments were made before the site's first poll and keep their times.
int64_t entry_time(const annotation &a) { return 1796740000 - 17 * int64_t{a.comment_id}; }

std::string comment_text(const site &s, const annotation &a) {
  std::string what = identify(s, a.object).is_host ? "host" : "service";
  if (a.entry_type == comment_acknowledgement) return "Acknowledged, working on it with the vendor";
  if (a.entry_type == comment_user)
    return "Known issue, see ticket INC-" + std::to_string(4000 + a.comment_id);
  return "This " + what +
         " has been scheduled for fixed downtime from 2026-12-08 16:49:32 to 2026-12-08 18:49:32."
         "  Notifications for the " + what + " will not be sent out during that time period.";
}

void comment_block(std::string *b, const site &s, const annotation &a) {
  annotation_head(b, s, a.object, "comment");
  keys(b, {{"entry_type", a.entry_type}, {"comment_id", a.comment_id},
           {"source", a.entry_type == comment_user},
           {"persistent", a.entry_type != comment_downtime}, {"entry_time", entry_time(a)},
           {"expires", 0}, {"expire_time", 0},
           {"author", a.entry_type == comment_user ? "ops" : "oncall"},
           {"comment_data", comment_text(s, a)}});
  *b += "\t}\n\n";
}

void downtime_block(std::string *b, const site &s, const annotation &a) {
  annotation_head(b, s, a.object, "downtime");
  keys(b, {{"downtime_id", a.downtime_id}, {"comment_id", a.comment_id},
           {"entry_time", entry_time(a)}, {"start_time", entry_time(a)}, {"flex_downtime_start", 0},
           {"end_time", entry_time(a) + 7200}, {"triggered_by", 0}, {"fixed", 1},
           {"duration", 7200}, {"is_in_effect", 1}, {"start_notification_sent", 1},
           {"author", "ops"}, {"comment", "Kernel upgrade and reboot"}});
  *b += "\t}\n\n";
}

void info_blocks(std::string *b, const site &s) {
  int64_t checks = static_cast<int64_t>(s.objects.size());
  std::string stats = std::to_string(checks / 5) + "," + std::to_string(checks) + "," +
                      std::to_string(checks * 3);
  *b += "info {\n";
  keys(b, {{"created", s.now}, {"version", "4.4.6"}, {"last_update_check", 0},
           {"update_available", 0}, {"last_version", ""}, {"new_version", ""}});
  *b += "\t}\n\nprogramstatus {\n";
  keys(b, {{"modified_host_attributes", 0}, {"modified_service_attributes", 0},
           {"nagios_pid", 27211}, {"daemon_mode", 1}, {"program_start", 1796740000 - 86400},
           {"last_log_rotation", 0}, {"enable_notifications", 1},
           {"active_service_checks_enabled", 1}, {"passive_service_checks_enabled", 1},
           {"active_host_checks_enabled", 1}, {"passive_host_checks_enabled", 1},
           {"enable_event_handlers", 1}, {"obsess_over_services", 0}, {"obsess_over_hosts", 0},
           {"check_service_freshness", 0}, {"check_host_freshness", 0},
           {"enable_flap_detection", 1}, {"process_performance_data", 1},
           {"global_host_event_handler", ""}, {"global_service_event_handler", ""},
           {"next_comment_id", s.comments.size() + 1}, {"next_downtime_id", s.downtimes.size() + 1},
           {"next_event_id", checks * 2}, {"next_problem_id", checks},
           {"next_notification_id", checks / 3}});
  for (const char *name :
       {"active_scheduled_host_check_stats", "active_ondemand_host_check_stats",
        "passive_host_check_stats", "active_scheduled_service_check_stats",
        "active_ondemand_service_check_stats", "passive_service_check_stats",
        "cached_host_check_stats", "cached_service_check_stats", "external_command_stats",
        "parallel_host_check_stats", "serial_host_check_stats"})
    keys(b, {{name, stats}});
  *b += "\t}\n\n";
}

// Comments and downtimes, numbered in object order as Nagios does, as each object's flags ask.
void annotate(site *s) {
  int32_t comment_id = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(s->objects.size()); i++) {
    const object_state &o = s->objects[static_cast<size_t>(i)];
    if (o.commented) s->comments.push_back({i, comment_user, ++comment_id, 0});
    if (o.acknowledged) s->comments.push_back({i, comment_acknowledgement, ++comment_id, 0});
    if (o.in_downtime) {
      int32_t downtime_id = static_cast<int32_t>(s->downtimes.size()) + 1;
      s->downtimes.push_back({i, comment_downtime, ++comment_id, downtime_id});
      s->comments.push_back(s->downtimes.back());
    }
  }
}

// Block k after the file's head, in Nagios' order: hosts, services, contacts, comments, downtimes.
void dat_block(std::string *b, const site &s, int32_t k) {
  int32_t objects = static_cast<int32_t>(s.objects.size());
  int32_t comments = static_cast<int32_t>(s.comments.size());
  if (k < s.shape.hosts) return host_block(b, s, k);
  if (k < objects) return service_block(b, s, k);
  k -= objects;
  if (k < contact_count) return contact_block(b, s, k);
  k -= contact_count;
  if (k < comments) return comment_block(b, s, s.comments[static_cast<size_t>(k)]);
  downtime_block(b, s, s.downtimes[static_cast<size_t>(k - comments)]);
}

void write_status_dat(site s, uint64_t shuffle_seed, FILE *out) {
  annotate(&s);
  std::string b = dat_head;
  info_blocks(&b, s);
  size_t blocks = s.objects.size() + s.comments.size() + s.downtimes.size() + contact_count;
  write_blocks(b, static_cast<int32_t>(blocks), shuffle_seed, out,
               [&](std::string *block, int32_t k) { dat_block(block, s, k); });
}

// status.log: a comment, a PROGRAM line, a HOST line of 21 fields per host, 32 in a SERVICE line.

const char *const service_status[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

void host_line(std::string *line, const site &s, int32_t host) {
  const object_state &o = s.objects[static_cast<size_t>(host)];
  check_figures f = figures_of(s, host);
  bool notified = o.hard && o.state != 0;
  *line += "[" + std::to_string(s.now) + "] HOST";
  // Then seconds up, down and unreachable, the last notification, its number.
  fields(line, {host_name(host), o.state == host_up ? "UP" : "DOWN", f.last_check,
                o.last_state_change, o.acknowledged, s.now - o.last_state_change,
                o.state == host_down ? 3600 : 0, 0, notified ? o.last_hard_state_change : 0,
                notified});
  // Then notifications, handler, checks, flap detection enabled, flapping, state changes,
  // downtime, failure prediction, performance data.
  fields(line, {f.notifications_enabled, 1, 1, 1, 0,
                fixed(o.state != 0 ? f.percent_state_change : 0.0, 2), o.in_downtime, 0, 1,
                host_output(o)});
  *line += '\n';
}

void service_line(std::string *line, const site &s, int32_t i) {
  const object_state &o = s.objects[static_cast<size_t>(i)];
  object_identity id = identify(s, i);
  check_figures f = figures_of(s, i);
  bool notified = o.hard && o.state != 0;
  const char *status = o.pending ? "PENDING" : service_status[o.state];
  int64_t in_state = o.pending ? 0 : s.now - o.last_state_change;
  *line += "[" + std::to_string(s.now) + "] SERVICE";
  fields(line, {host_name(id.host), service_description(id.service), status,
                std::to_string(o.attempt) + "/" + std::to_string(service_max_attempts),
                o.hard ? "HARD" : "SOFT", o.pending ? 0 : f.last_check,
                o.pending ? 0 : f.last_check + 300, o.pending ? "PASSIVE" : "ACTIVE", !o.pending, 1,
                1, o.last_state_change, o.acknowledged, o.hard ? status : "OK"});
  for (int32_t state : {service_ok, service_unknown, service_warning, service_critical})
    fields(line, {o.state == state ? in_state : 0});
  // After the execution time: flap detection, flapping, state changes,
  // downtime, failure prediction, performance data and obsess.
  fields(line, {notified ? o.last_hard_state_change : 0, notified, f.notifications_enabled,
                fixed(f.latency, 3), fixed(f.execution_time, 3), 1, 0,
                fixed(o.state != 0 ? f.percent_state_change : 0.0, 2), o.in_downtime, 0, 1, 1,
                service_output(o, id.service)});
  *line += '\n';
}

void write_status_log(const site &s, uint64_t shuffle_seed, FILE *out) {
  std::string b = "# Nagios 1.4.1 Status File\n[" + std::to_string(s.now) + "] PROGRAM";
  fields(&b, {1796740000 - 86400, 27211, 1, s.now - 5, 0, 1, 1, 1, 1, 0, 1, 0, 1});
  write_blocks(b + '\n', static_cast<int32_t>(s.objects.size()), shuffle_seed, out,
               [&](std::string *line, int32_t k) {
                 k < s.shape.hosts ? host_line(line, s, k) : service_line(line, s, k);
               });
}

}  // namespace

int main(int argc, char **argv) {
  site_shape shape;
  bool status_log = false, shuffled = false, bad_option = false;
  for (int option; (option = getopt(argc, argv, "xrn:m:s:p:c:")) != -1;) {
    switch (option) {
      case 'x': status_log = true; break;
      case 'r': shuffled = true; break;
      case 'n': shape.hosts = atoi(optarg); break;
      case 'm': shape.services_per_host = atoi(optarg); break;
      case 's': shape.seed = strtoull(optarg, nullptr, 10); break;
      case 'p': shape.problem_fraction = atof(optarg); break;
      case 'c': shape.change_fraction = atof(optarg); break;
      default: bad_option = true;
    }
  }
  int64_t objects = int64_t{shape.hosts} * (int64_t{shape.services_per_host} + 1);
  if (bad_option || optind != argc || shape.hosts < 0 || shape.services_per_host < 0 ||
      objects > INT32_MAX / 2) {
    fputs("usage: sentrel-statusgen [-x] [-r] [-n hosts] [-m services] [-s seed] [-p fraction] [-c fraction]\n"
          "  -x  write status.log (Nagios 1.x) instead of status.dat (Nagios 4)\n"
          "  -n  number of hosts (1000)\n"
          "  -m  services of each host (10)\n"
          "  -s  seed (1): the same seed writes the same file\n"
          "  -p  fraction of services with a problem (0.05)\n"
          "  -c  write the site's next poll, with this fraction of hosts and services changed\n"
          "  -r  shuffle the blocks (or lines)\n",
          stderr);
    return 2;
  }
  site s = make_site(shape);
  if (shape.change_fraction >= 0) s = next_poll(s, shape.change_fraction, shape.seed + 1);
  uint64_t shuffle_seed = shuffled ? shape.seed + 2 : 0;  // 0: Nagios' own order
  if (status_log)
    write_status_log(s, shuffle_seed, stdout);
  else
    write_status_dat(s, shuffle_seed, stdout);
  return fflush(stdout) == 0 ? 0 : 1;
}
