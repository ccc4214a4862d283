#include "status_text.h"

namespace {

const char change_time[] = "1258985220";  // 2009-11-23 14:07:00 UTC

std::string key_of(const std::string &field) { return field.substr(0, field.find('=')); }

std::string entry_block(const std::string &kind, std::vector<std::string> fields,
                        const std::vector<std::string> &extra) {
  for (const char *field :
       {"active_checks_enabled=1", "passive_checks_enabled=1", "notifications_enabled=1",
        "problem_has_been_acknowledged=0", "scheduled_downtime_depth=0"})
    fields.push_back(field);
  fields.push_back(std::string("last_state_change=") + change_time);
  for (const std::string &field : extra) {
    bool replaced = false;
    for (std::string &existing : fields) {
      if (key_of(existing) != key_of(field)) continue;
      existing = field;
      replaced = true;
    }
    if (!replaced) fields.push_back(field);
  }
  return dat_block(kind, fields);
}

}  // namespace

std::string dat_block(const std::string &kind, const std::vector<std::string> &fields) {
  std::string block = kind + " {\n";
  for (const std::string &field : fields) block += "\t" + field + "\n";
  return block + "\t}\n\n";
}

std::string dat_host(const std::string &host, int state, int state_type,
                     const std::string &output, const std::vector<std::string> &extra) {
  return entry_block("hoststatus",
                     {"host_name=" + host, "current_state=" + std::to_string(state),
                      "state_type=" + std::to_string(state_type), "plugin_output=" + output},
                     extra);
}

std::string dat_service(const std::string &host, const std::string &service,
                        int state, int state_type, const std::string &output,
                        const std::vector<std::string> &extra) {
  return entry_block("servicestatus",
                     {"host_name=" + host, "service_description=" + service,
                      "current_state=" + std::to_string(state),
                      "state_type=" + std::to_string(state_type), "plugin_output=" + output},
                     extra);
}

std::string log_line(const std::vector<std::string> &fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); i++) line += (i ? ";" : "") + fields[i];
  return line + "\n";
}

std::string log_host(const std::string &host, const std::string &status,
                     const std::string &output) {
  std::vector<std::string> fields(21, "0");
  fields[0] = "[1258985300] HOST";
  fields[1] = host;
  fields[2] = status;
  fields[4] = change_time;
  fields[11] = "1";  // notifications
  fields[13] = "1";  // active checks
  fields[20] = output;
  return log_line(fields);
}

std::string log_service(const std::string &host, const std::string &service,
                        const std::string &status, const std::string &state_type,
                        const std::string &output, int active_checks) {
  std::vector<std::string> fields(32, "0");
  fields[0] = "[1258985300] SERVICE";
  fields[1] = host;
  fields[2] = service;
  fields[3] = status;
  fields[5] = state_type;
  fields[8] = "ACTIVE";
  fields[9] = std::to_string(active_checks);
  fields[12] = change_time;
  fields[21] = "1";  // notifications
  fields[31] = output;
  return log_line(fields);
}

std::string report(const std::string &label, const std::string &host,
                   const std::string &service, const std::string &output) {
  return "2009/11/23 14:07 " + label + " " + host + " " + service + "\n" + output + "\n";
}
