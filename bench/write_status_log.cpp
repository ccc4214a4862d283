// A site as Nagios 1.x wrote status.log: a comment, a PROGRAM line, then a
// HOST line of 21 fields per host and a SERVICE line of 32 per service.
#include <cinttypes>
#include <string>

#include "site_catalog.h"

namespace {

const char *const service_status[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

// Appends `;` and the field.
void field(std::string *line, const std::string &value) {
  *line += ';';
  *line += value;
}
void field(std::string *line, int64_t value) { field(line, std::to_string(value)); }
void field(std::string *line, double value, int decimals) {
  char text[64];
  snprintf(text, sizeof text, "%.*f", decimals, value);
  field(line, std::string(text));
}

std::string record_head(const site &s, const char *kind) {
  return "[" + std::to_string(s.now) + "] " + kind;
}

void program_line(std::string *line, const site &s) {
  *line += record_head(s, "PROGRAM");
  const int64_t values[] = {1796740000 - 86400, 27211, 1, s.now - 5, 0, 1, 1, 1, 1, 0, 1, 0, 1};
  for (int64_t value : values) field(line, value);
  *line += '\n';
}

void host_line(std::string *line, const site &s, int32_t host) {
  const object_state &o = s.objects[static_cast<size_t>(host)];
  check_figures f = figures_of(s, host);
  bool notified = o.hard && o.state != 0;
  *line += record_head(s, "HOST");
  field(line, host_name(host));
  field(line, o.state == host_up ? "UP" : "DOWN");
  field(line, f.last_check);
  field(line, o.last_state_change);
  field(line, int64_t{o.acknowledged});
  field(line, s.now - o.last_state_change);  // seconds up, down, unreachable
  field(line, int64_t{o.state == host_down ? 3600 : 0});
  field(line, int64_t{0});
  field(line, notified ? o.last_hard_state_change : 0);
  field(line, int64_t{notified});
  field(line, int64_t{f.notifications_enabled});
  for (int32_t enabled = 0; enabled < 3; enabled++) field(line, int64_t{1});  // event handler, checks, flap detection
  field(line, int64_t{0});
  field(line, o.state != 0 ? f.percent_state_change : 0.0, 2);
  field(line, int64_t{o.in_downtime});
  field(line, int64_t{0});  // failure prediction
  field(line, int64_t{1});  // performance data
  field(line, host_output(o));
  *line += '\n';
}

void service_line(std::string *line, const site &s, int32_t i) {
  const object_state &o = s.objects[static_cast<size_t>(i)];
  object_identity id = identify(s, i);
  check_figures f = figures_of(s, i);
  bool notified = o.hard && o.state != 0;
  const char *status = o.pending ? "PENDING" : service_status[o.state];
  *line += record_head(s, "SERVICE");
  field(line, host_name(id.host));
  field(line, service_description(id.service));
  field(line, status);
  field(line, std::to_string(o.attempt) + "/" + std::to_string(service_max_attempts));
  field(line, o.hard ? "HARD" : "SOFT");
  field(line, o.pending ? 0 : f.last_check);
  field(line, o.pending ? 0 : f.last_check + 300);
  field(line, o.pending ? "PASSIVE" : "ACTIVE");
  field(line, int64_t{!o.pending});
  field(line, int64_t{1});  // passive checks accepted
  field(line, int64_t{1});  // event handler
  field(line, o.last_state_change);
  field(line, int64_t{o.acknowledged});
  field(line, o.hard ? status : "OK");
  int64_t in_state = o.pending ? 0 : s.now - o.last_state_change;
  const int32_t state_columns[] = {service_ok, service_unknown, service_warning, service_critical};
  for (int32_t state : state_columns) field(line, o.state == state ? in_state : 0);
  field(line, notified ? o.last_hard_state_change : 0);
  field(line, int64_t{notified});
  field(line, int64_t{f.notifications_enabled});
  field(line, f.latency, 3);
  field(line, f.execution_time, 3);
  field(line, int64_t{1});  // flap detection
  field(line, int64_t{0});
  field(line, o.state != 0 ? f.percent_state_change : 0.0, 2);
  field(line, int64_t{o.in_downtime});
  field(line, int64_t{0});  // failure prediction
  field(line, int64_t{1});  // performance data
  field(line, int64_t{1});  // obsess
  field(line, service_output(o, id.service));
  *line += '\n';
}

}  // namespace

void write_status_log(const site &s, uint64_t shuffle_seed, FILE *out) {
  std::string text = "# Nagios 1.4.1 Status File\n";
  program_line(&text, s);
  int32_t lines = static_cast<int32_t>(s.objects.size());
  for (int32_t k : block_order(lines, shuffle_seed)) {
    if (k < s.shape.hosts)
      host_line(&text, s, k);
    else
      service_line(&text, s, k);
    if (text.size() >= 1 << 16) {
      fwrite(text.data(), 1, text.size(), out);
      text.clear();
    }
  }
  fwrite(text.data(), 1, text.size(), out);
}
