#include "site_catalog.h"

#include <string>

namespace {

const char *const host_roles[] = {"web", "app", "db", "cache", "mail",
                                  "lb",  "sw",  "fw", "vm",    "nas"};
constexpr int32_t host_role_count = sizeof host_roles / sizeof host_roles[0];

const service_check service_checks[] = {
    {"PING", "check_ping!100.0,20%!500.0,60%",
     {"PING OK - Packet loss = 0%, RTA = 0.41 ms", "PING WARNING - Packet loss = 20%, RTA = 180.22 ms",
      "PING CRITICAL - Packet loss = 100%", "(Service check timed out after 60.01 seconds)"},
     "rta=0.410000ms;100.000000;500.000000;0.000000 pl=0%;20;60;0"},
    {"SSH", "check_ssh",
     {"SSH OK - OpenSSH_9.2p1 Debian-2+deb12u3 (protocol 2.0)", "SSH WARNING - OpenSSH_7.4 (protocol 2.0) version mismatch",
      "connect to address 10.20.0.17 and port 22: Connection refused", "(Service check timed out after 60.01 seconds)"},
     "time=0.012107s;;;0.000000;10.000000"},
    {"Load", "check_nrpe!check_load",
     {"OK - load average: 0.52, 0.48, 0.41", "WARNING - load average: 6.12, 5.98, 5.10",
      "CRITICAL - load average: 14.87, 12.02, 9.55", "NRPE: Unable to read output"},
     "load1=0.520;5.000;10.000;0; load5=0.480;4.000;8.000;0; load15=0.410;3.000;6.000;0;"},
    {"Disk /", "check_nrpe!check_disk_root",
     {"DISK OK - free space: / 18432 MiB (62% inode=91%):", "DISK WARNING - free space: / 2764 MiB (9% inode=88%):",
      "DISK CRITICAL - free space: / 512 MiB (2% inode=80%):", "DISK UNKNOWN - Could not stat /"},
     "/=11264MiB;26624;28160;0;29696"},
    {"Disk /var", "check_nrpe!check_disk_var",
     {"DISK OK - free space: /var 40960 MiB (40% inode=97%):", "DISK WARNING - free space: /var 9216 MiB (9% inode=95%):",
      "DISK CRITICAL - free space: /var 1024 MiB (1% inode=93%):", "DISK UNKNOWN - Could not stat /var"},
     "/var=61440MiB;92160;97280;0;102400"},
    {"Swap", "check_nrpe!check_swap",
     {"SWAP OK - 100% free (2047 MB out of 2047 MB)", "SWAP WARNING - 38% free (778 MB out of 2047 MB)",
      "SWAP CRITICAL - 4% free (81 MB out of 2047 MB)", "SWAP UNKNOWN - no swap configured"},
     "swap=2047MB;409;204;0;2047"},
    {"NTP", "check_ntp_time!ntp.example.net",
     {"NTP OK: Offset 0.000731 secs", "NTP WARNING: Offset 62.1843 secs",
      "NTP CRITICAL: Offset 131.502 secs", "NTP UNKNOWN: No response from NTP server"},
     "offset=0.000731s;60.000000;120.000000;"},
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
      "SSL UNKNOWN - Cannot retrieve server certificate."},
     ""},
    {"Procs", "check_nrpe!check_total_procs",
     {"PROCS OK: 142 processes", "PROCS WARNING: 412 processes", "PROCS CRITICAL: 603 processes",
      "NRPE: Command 'check_total_procs' not defined"},
     "procs=142;400;500;0;"},
    {"Memory", "check_nrpe!check_mem",
     {"MEMORY OK - 38% used (3112 MB out of 8192 MB)", "MEMORY WARNING - 86% used (7045 MB out of 8192 MB)",
      "MEMORY CRITICAL - 97% used (7946 MB out of 8192 MB)", "MEMORY UNKNOWN - /proc/meminfo not readable"},
     "used=3112MB;6963;7782;0;8192"},
    {"Backup Age", "check_dummy!0",
     {"OK - last backup 6 hours ago", "WARNING - last backup 27 hours ago",
      "CRITICAL - last backup 49 hours ago", "UNKNOWN - backup catalogue unreadable"},
     "age=21600s;86400;172800;0;"},
};
constexpr int32_t service_check_count = sizeof service_checks / sizeof service_checks[0];

}  // namespace

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

// Beyond the catalogue a host runs further instances of the same checks.
std::string service_description(int32_t service) {
  std::string description = check_of(service).description;
  int32_t instance = service / service_check_count;
  if (instance > 0) description += " #" + std::to_string(instance + 1);
  return description;
}

const service_check &check_of(int32_t service) {
  return service_checks[service % service_check_count];
}

const char *host_output(const object_state &object) {
  return object.state == host_up ? "PING OK - Packet loss = 0%, RTA = 0.10 ms"
                                 : "CRITICAL - Host Unreachable (10.20.0.17)";
}

const char *service_output(const object_state &object, int32_t service) {
  if (object.pending) return "";
  return check_of(service).output[object.state];
}

prng object_random(const site &s, int32_t i) {
  prng mixer{s.shape.seed * 0x9e3779b97f4a7c15ULL + static_cast<uint64_t>(i)};
  return prng{next_random(&mixer)};
}

check_figures figures_of(const site &s, int32_t i) {
  prng random = object_random(s, i);
  check_figures figures;
  figures.execution_time = 0.001 * (1 + random_below(&random, 900));
  figures.latency = 0.001 * random_below(&random, 250);
  figures.last_check = s.now - random_below(&random, 300);
  figures.percent_state_change = 0.01 * random_below(&random, 2500);
  figures.notifications_enabled = !chance(&random, 0.02);
  figures.sticky_acknowledgement = chance(&random, 0.5);
  figures.event_id = static_cast<int32_t>(random_below(&random, 100000));
  return figures;
}

std::vector<int32_t> block_order(int32_t count, uint64_t shuffle_seed) {
  std::vector<int32_t> order(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; i++) order[static_cast<size_t>(i)] = i;
  if (shuffle_seed == 0) return order;
  prng random{shuffle_seed};
  for (int32_t i = count - 1; i > 0; i--) {  // Fisher-Yates
    uint32_t j = random_below(&random, static_cast<uint32_t>(i) + 1);
    std::swap(order[static_cast<size_t>(i)], order[j]);
  }
  return order;
}
