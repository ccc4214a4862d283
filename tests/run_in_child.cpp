#include "run_in_child.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#endif

namespace {

void read_both(int out_fd, int err_fd, child_result *result) {
  bool open[2] = {true, true};
  int fds[2] = {out_fd, err_fd};
  std::string *into[2] = {&result->out, &result->err};
  while (open[0] || open[1]) {
    pollfd polled[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
    if (poll(polled, 2, -1) < 0) continue;
    for (int i = 0; i < 2; i++) {
      if (!open[i] || !(polled[i].revents & (POLLIN | POLLHUP))) continue;
      char chunk[65536];
      ssize_t n = read(fds[i], chunk, sizeof chunk);
      if (n > 0) into[i]->append(chunk, static_cast<size_t>(n));
      else if (n == 0 || errno != EINTR) open[i] = false;
    }
  }
}

// Forks; in the child runs `setup` (which may fail with exit 77) and then
// `body` with stdout and stderr on pipes.
child_result fork_and_run(const std::function<void()> &setup,
                          const std::function<void()> &body) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) abort();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    setup();
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    body();
    fflush(nullptr);
    _exit(0);
  }
  close(out[1]);
  close(err[1]);
  child_result result;
  read_both(out[0], err[0], &result);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  return result;
}

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
  return fork_and_run([] {}, body);
}

bool run_in_child_with_syslog(const std::function<void()> &body, child_result *result) {
  // Created here and bound in the child: the parent's descriptor keeps the
  // socket and its queued datagrams alive after the child has exited.
  int log_socket = socket(AF_UNIX, SOCK_DGRAM, 0);
  if (log_socket < 0) return false;
  child_result run = fork_and_run([log_socket] { bind_private_dev_log(log_socket); }, body);
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
