#include "live_nagios.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char nagios_binary[] = "/usr/sbin/nagios4";

// Every path inside `dir`. Checks and notifications are off and every
// result arrives through the pipe, so nothing runs a plugin or sends mail;
// an interval length of one second makes the retry timings seconds too.
std::string main_configuration(const std::string &dir) {
  std::string config;
  for (const char *setting :
       {"log_file=@/nagios.log", "cfg_file=@/objects.cfg", "object_cache_file=@/objects.cache",
        "precached_object_file=@/objects.precache", "status_file=@/status.dat",
        "command_file=@/nagios.cmd", "query_socket=@/nagios.qh", "lock_file=@/nagios.lock",
        "temp_file=@/nagios.tmp", "temp_path=@", "check_result_path=@/checkresults",
        "state_retention_file=@/retention.dat", "nagios_user=nagios", "nagios_group=nagios",
        "status_update_interval=1", "interval_length=1", "check_workers=1",
        "check_external_commands=1", "retain_state_information=1", "use_syslog=0",
        "log_rotation_method=n", "execute_service_checks=0", "execute_host_checks=0",
        "accept_passive_service_checks=1", "accept_passive_host_checks=1",
        "passive_host_checks_are_soft=0", "enable_notifications=0", "enable_event_handlers=0",
        "enable_flap_detection=0", "check_service_freshness=0", "check_host_freshness=0",
        "check_for_orphaned_services=0", "check_for_orphaned_hosts=0", "check_for_updates=0",
        "illegal_macro_output_chars=`~$&|'\"<>"}) {
    std::string line = setting;
    for (size_t at = line.find('@'); at != std::string::npos; at = line.find('@', at))
      line.replace(at, 1, dir);
    config += line + "\n";
  }
  return config;
}

// Nagios drops to the nagios user before it writes anything.
void give_to_nagios(const std::string &path) {
  const passwd *user = getpwnam("nagios");
  if (user == nullptr || chown(path.c_str(), user->pw_uid, user->pw_gid) != 0)
    ADD_FAILURE() << "cannot give " << path << " to the nagios user";
}

}  // namespace

std::string why_nagios_cannot_run() {
  if (access(nagios_binary, X_OK) != 0)
    return std::string("no ") + nagios_binary + " (Debian's nagios4-core)";
  if (getpwnam("nagios") == nullptr) return "no nagios user";
  if (geteuid() != 0) return "Nagios drops privileges to the nagios user: it needs root";
  return "";
}

live_nagios prepare_nagios(const std::string &objects) {
  live_nagios nagios;
  nagios.dir = make_temp_dir();
  nagios.status_path = nagios.dir + "/status.dat";
  write_file(nagios.dir + "/nagios.cfg", main_configuration(nagios.dir));
  write_file(nagios.dir + "/objects.cfg", objects);
  if (mkdir((nagios.dir + "/checkresults").c_str(), 0755) != 0)
    ADD_FAILURE() << "mkdir: " << strerror(errno);
  give_to_nagios(nagios.dir);
  give_to_nagios(nagios.dir + "/checkresults");
  return nagios;
}

bool start_nagios(live_nagios *nagios) {
  nagios->process = start_program({nagios_binary, nagios->dir + "/nagios.cfg"});
  auto written = [nagios] { return access(nagios->status_path.c_str(), R_OK) == 0; };
  wait_until([&] { return written() || !program_is_running(nagios->process); },
             "Nagios's first status file");
  if (written()) return true;
  program_result said = stop_program(nagios->process, SIGTERM);
  nagios->process.pid = -1;
  ADD_FAILURE() << "Nagios wrote no status file; it said:\n" << said.out << said.err;
  return false;
}

void stop_nagios(live_nagios *nagios) {
  if (nagios->process.pid <= 0) return;
  stop_program(nagios->process, SIGTERM);
  nagios->process.pid = -1;
}

bool reload_nagios(const live_nagios &nagios) {
  std::string started = status_value(nagios, "program_start");
  kill(nagios.process.pid, SIGHUP);
  return wait_until([&] { return status_value(nagios, "program_start") != started; },
                    "Nagios starting again after SIGHUP");
}

bool send_commands(const live_nagios &nagios, long time, const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines) text += "[" + std::to_string(time) + "] " + line + "\n";
  std::string pipe = nagios.dir + "/nagios.cmd";
  // Without a reader a non-blocking open fails: Nagios is not reading yet.
  int fd = -1;
  if (!wait_until([&] { return (fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; },
                  "Nagios reading " + pipe))
    return false;
  // One write below the pipe's atomic size: Nagios reads whole lines.
  EXPECT_LT(text.size(), static_cast<size_t>(PIPE_BUF));
  bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  EXPECT_TRUE(written) << strerror(errno);
  return written;
}

std::string status_value(const live_nagios &nagios, const std::string &key) {
  std::string status = read_file(nagios.status_path);
  size_t at = status.find("\n\t" + key + "=");
  if (at == std::string::npos) return "";
  at += key.size() + 3;
  return status.substr(at, status.find('\n', at) - at);
}
