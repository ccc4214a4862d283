#include "run_in_child.h"

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#endif

#include "run_program.h"

namespace {

// Long enough for any body; a child that hangs is killed after it.
const int child_time_limit = 120;

// Gives the calling process a private /dev on which `log_socket` is bound as
// /dev/log: Linux mount namespaces, as root.
void bind_private_dev_log(int log_socket) {
#ifdef __linux__
  if (unshare(CLONE_NEWNS) != 0) _exit(77);
  if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
  if (mount("none", "/dev", "tmpfs", 0, nullptr) != 0) _exit(77);
#else
  _exit(77);
#endif
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strcpy(address.sun_path, "/dev/log");
  if (bind(log_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
    _exit(77);
}

}  // namespace

child_result run_in_child(const std::function<void()> &body) {
  program_result run = run_forked(body, "", child_time_limit);
  child_result result;
  result.exit_status = run.exit_status;
  result.out = run.out;
  result.err = run.err;
  return result;
}

bool run_in_child_with_syslog(const std::function<void()> &body, child_result *result) {
  // Created here and bound in the child: the parent's descriptor keeps the
  // socket and its queued datagrams alive after the child has exited.
  int log_socket = socket(AF_UNIX, SOCK_DGRAM, 0);
  if (log_socket < 0) return false;
  child_result run = run_in_child([log_socket, &body] {
    bind_private_dev_log(log_socket);
    body();
  });
  if (run.exit_status == 77 && run.out.empty() && run.err.empty()) {
    close(log_socket);
    return false;
  }
  char datagram[8192];
  ssize_t n;
  while ((n = recv(log_socket, datagram, sizeof datagram, MSG_DONTWAIT)) >= 0)
    run.log.emplace_back(datagram, static_cast<size_t>(n));
  close(log_socket);
  *result = run;
  return true;
}

std::string syslog_message(const std::string &datagram, int *priority) {
  *priority = -1;
  if (datagram.empty() || datagram[0] != '<') return "";
  *priority = atoi(datagram.c_str() + 1);
  // "<pri>Mmm dd hh:mm:ss tag: message" (glibc adds "[pid]" only on request).
  size_t tag_end = datagram.find(": ", datagram.find('>'));
  if (tag_end == std::string::npos) return "";
  return datagram.substr(tag_end + 2);
}
