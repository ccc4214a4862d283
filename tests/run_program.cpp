#include "run_program.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#endif

namespace {

void drain(int fd, std::string *into, bool *open) {
  char chunk[65536];
  ssize_t n = read(fd, chunk, sizeof chunk);
  if (n > 0) into->append(chunk, static_cast<size_t>(n));
  else if (n == 0 || errno != EINTR) *open = false;
}

// Reads both pipes until they close; past the deadline the child is killed.
void drain_both(int out, int err, pid_t pid, int timeout_seconds, program_result *result) {
  bool out_open = true, err_open = true;
  time_t deadline = time(nullptr) + timeout_seconds;
  while (out_open || err_open) {
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    int left = static_cast<int>(deadline - time(nullptr));
    if (left <= 0) {
      kill(pid, SIGKILL);
      deadline = time(nullptr) + 3600;
      continue;
    }
    if (poll(fds, 2, left * 1000) < 0) continue;
    if (out_open && (fds[0].revents & (POLLIN | POLLHUP))) drain(out, &result->out, &out_open);
    if (err_open && (fds[1].revents & (POLLIN | POLLHUP))) drain(err, &result->err, &err_open);
  }
}

void record_status(int status, program_result *result) {
  if (WIFEXITED(status)) result->exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result->signal = WTERMSIG(status);
}

[[noreturn]] void exec_argv(const std::vector<std::string> &argv) {
  // The tests ignore SIGPIPE for their own writes; the program gets the
  // default, as from a shell.
  signal(SIGPIPE, SIG_DFL);
  std::vector<char *> args;
  for (const std::string &arg : argv) args.push_back(const_cast<char *>(arg.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
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

program_result run_forked(const std::function<void()> &child, const std::string &input,
                          int timeout_seconds) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) abort();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    child();
    fflush(nullptr);
    _exit(0);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
    // The child need not read its input.
  }
  close(in[1]);
  program_result result;
  drain_both(out[0], err[0], pid, timeout_seconds, &result);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  record_status(status, &result);
  return result;
}

bool run_forked_with_syslog(const std::function<void()> &child, program_result *result,
                            std::vector<std::string> *log) {
  // Created here and bound in the child: the parent's descriptor keeps the
  // socket and its queued datagrams alive after the child has exited.
  int log_socket = socket(AF_UNIX, SOCK_DGRAM, 0);
  if (log_socket < 0) return false;
  program_result run = run_forked([log_socket, &child] {
    bind_private_dev_log(log_socket);
    child();
  });
  if (run.exit_status == 77 && run.out.empty() && run.err.empty()) {
    close(log_socket);
    return false;
  }
  char datagram[8192];
  ssize_t n;
  while ((n = recv(log_socket, datagram, sizeof datagram, MSG_DONTWAIT)) >= 0)
    log->emplace_back(datagram, static_cast<size_t>(n));
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

program_result run_program(const std::vector<std::string> &argv,
                           const std::string &input, int timeout_seconds) {
  return run_forked([&argv] { exec_argv(argv); }, input, timeout_seconds);
}

program_result run_sentrel(const std::vector<std::string> &arguments,
                           int timeout_seconds) {
  std::vector<std::string> argv = {SENTREL_BINARY};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return run_program(argv, "", timeout_seconds);
}

running_program start_program(const std::vector<std::string> &argv,
                              const std::vector<std::string> &environment,
                              int stdout_fd) {
  running_program program;
  std::string dir = make_temp_dir();
  program.out_path = dir + "/stdout";
  program.err_path = dir + "/stderr";
  fflush(nullptr);
  program.pid = fork();
  if (program.pid == 0) {
    // A group of its own, so that a test can signal it as a terminal would.
    setpgid(0, 0);
    int in = open("/dev/null", O_RDONLY);
    int out = open(program.out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(program.err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(stdout_fd >= 0 ? stdout_fd : out, 1);
    dup2(err, 2);
    // The test's own sockets and FIFO ends must not live on in the program:
    // a listener it inherited would keep accepting after the test closed it.
    for (int fd = 3; fd < 1024; fd++) close(fd);
    for (const std::string &setting : environment)
      putenv(const_cast<char *>(setting.c_str()));
    exec_argv(argv);
  }
  return program;
}

bool program_is_running(const running_program &program) {
  siginfo_t info;
  memset(&info, 0, sizeof info);
  if (waitid(P_PID, program.pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == 0;
}

program_result stop_program(const running_program &program, int signal,
                            int timeout_seconds) {
  if (signal != 0) kill(program.pid, signal);
  time_t deadline = time(nullptr) + timeout_seconds;
  int status = 0;
  while (waitpid(program.pid, &status, WNOHANG) == 0) {
    if (time(nullptr) >= deadline) {
      ADD_FAILURE() << "program still running after " << timeout_seconds << " s";
      kill(program.pid, SIGKILL);
      waitpid(program.pid, &status, 0);
      break;
    }
    usleep(10000);
  }
  program_result result;
  record_status(status, &result);
  result.out = read_file(program.out_path);
  result.err = read_file(program.err_path);
  return result;
}

bool is_fatal_record(const std::string &err, const std::string &message) {
  const std::string head = message + ": errno=";
  const std::string tail = " (if applicable)\n";
  if (err.size() <= head.size() + tail.size()) return false;
  if (err.compare(0, head.size(), head) != 0) return false;
  if (err.compare(err.size() - tail.size(), tail.size(), tail) != 0) return false;
  std::string number = err.substr(head.size(), err.size() - head.size() - tail.size());
  if (number[0] == '-') number.erase(0, 1);
  return !number.empty() && number.find_first_not_of("0123456789") == std::string::npos;
}

std::string make_temp_dir() {
  const char *base = getenv("TMPDIR");
  std::string pattern = std::string(base ? base : "/tmp") + "/sentrel-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) ADD_FAILURE() << "mkdtemp: " << strerror(errno);
  return buffer.data();
}

void write_file(const std::string &path, const std::string &contents) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << contents;
  ASSERT_TRUE(file.good()) << "cannot write " << path;
}

std::string read_file(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

bool wait_until(const std::function<bool()> &done, const std::string &awaited,
                int timeout_seconds) {
  time_t deadline = time(nullptr) + timeout_seconds;
  while (!done()) {
    if (time(nullptr) >= deadline) {
      ADD_FAILURE() << "never seen: " << awaited;
      return false;
    }
    usleep(20000);
  }
  return true;
}

bool wait_for_text(const std::string &path, const std::string &text, int timeout_seconds) {
  return wait_until([&] { return read_file(path).find(text) != std::string::npos; },
                    path + " holding " + text, timeout_seconds);
}

bool is_required(const std::string &part) {
  const char *required = getenv("SENTREL_REQUIRE");
  std::istringstream words(required ? required : "");
  for (std::string word; words >> word;)
    if (word == part) return true;
  return false;
}

std::string fixture(const std::string &name) {
  std::string path = std::string(SENTREL_FIXTURES) + "/" + name;
  EXPECT_EQ(0, access(path.c_str(), R_OK)) << path;
  return read_file(path);
}
