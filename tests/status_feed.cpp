#include "status_feed.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int wait_limit_seconds = 20;

void make_fifo_at(const std::string &path) {
  if (mkfifo(path.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo " << path << ": " << strerror(errno);
}

// A fresh FIFO takes the place of the one at `path`, atomically.
void replace_fifo(const std::string &path) {
  std::string next = path + ".next";
  make_fifo_at(next);
  if (rename(next.c_str(), path.c_str()) != 0) ADD_FAILURE() << "rename: " << strerror(errno);
}

void write_all(int fd, const char *data, size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // the program ended; its result tells why
    data += written;
    size -= static_cast<size_t>(written);
  }
}

}  // namespace

fifo_feed make_fifo_feed(const std::string &path) {
  signal(SIGPIPE, SIG_IGN);
  make_fifo_at(path);
  return fifo_feed{path};
}

int await_next_poll(const fifo_feed &feed, const running_program &program) {
  time_t deadline = time(nullptr) + wait_limit_seconds;
  for (;;) {
    // Without a reader a non-blocking open fails with ENXIO: the program has
    // not reached its next poll yet.
    int fd = open(feed.path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    if (!program_is_running(program)) return -1;
    if (time(nullptr) >= deadline) {
      ADD_FAILURE() << "sentrel never opened " << feed.path;
      return -1;
    }
    usleep(1000);
  }
}

bool feed_snapshot(const fifo_feed &feed, const running_program &program,
                   const std::string &snapshot, bool then_missing) {
  int fd = await_next_poll(feed, program);
  if (fd < 0) return false;
  write_all(fd, snapshot.data(), snapshot.size());
  // The next FIFO (or its absence) is in place before this poll's data ends,
  // so the next poll cannot open the one being read now.
  if (then_missing)
    unlink(feed.path.c_str());
  else
    replace_fifo(feed.path);
  close(fd);
  return true;
}

void restore_fifo(const fifo_feed &feed) { make_fifo_at(feed.path); }

sockaddr_in loopback_address(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

tcp_peer bind_tcp_peer(uint16_t port, bool listening) {
  signal(SIGPIPE, SIG_IGN);
  tcp_peer peer;
  peer.fd = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(peer.fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = loopback_address(port);
  if (bind(peer.fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      (listening && listen(peer.fd, 8) != 0)) {
    close(peer.fd);
    return tcp_peer{};
  }
  socklen_t length = sizeof address;
  getsockname(peer.fd, reinterpret_cast<sockaddr *>(&address), &length);
  peer.port = ntohs(address.sin_port);
  return peer;
}

tcp_peer open_tcp_peer(uint16_t port) {
  tcp_peer peer = bind_tcp_peer(port, true);
  if (peer.fd < 0) ADD_FAILURE() << "cannot listen on 127.0.0.1:" << port << ": " << strerror(errno);
  return peer;
}

void close_tcp_peer(tcp_peer *peer) {
  close(peer->fd);
  peer->fd = -1;
}

const char unknown_ephemeral_range[] =
    "the ephemeral port range is unknown here (no /proc/sys/net/ipv4/ip_local_port_range)";

uint16_t free_port_outside_ephemeral_range() {
  std::string range = read_file("/proc/sys/net/ipv4/ip_local_port_range");
  if (range.empty()) return 0;
  int lowest_ephemeral = atoi(range.c_str());
  for (int port = lowest_ephemeral - 1 - getpid() % 4000; port > 1024; port--) {
    tcp_peer bound = bind_tcp_peer(static_cast<uint16_t>(port), false);
    close_tcp_peer(&bound);
    if (bound.port != 0) return bound.port;
  }
  ADD_FAILURE() << "no free port below " << lowest_ephemeral;
  return 0;
}

int accept_connection(const tcp_peer &peer, const running_program &program) {
  time_t deadline = time(nullptr) + wait_limit_seconds;
  while (time(nullptr) < deadline) {
    pollfd ready = {peer.fd, POLLIN, 0};
    if (poll(&ready, 1, 10) > 0) return accept(peer.fd, nullptr, nullptr);
    if (!program_is_running(program)) return -1;
  }
  ADD_FAILURE() << "sentrel never connected to port " << peer.port;
  return -1;
}

size_t serve_snapshot(int connection, const std::string &snapshot, size_t piece_size,
                      const std::function<void()> &before_piece) {
  int on = 1;
  setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  for (size_t at = 0; at < snapshot.size(); at += piece_size) {
    if (before_piece) before_piece();
    write_all(connection, snapshot.data() + at, std::min(piece_size, snapshot.size() - at));
  }
  shutdown(connection, SHUT_WR);
  size_t received = 0;
  char byte[256];
  ssize_t n;
  while ((n = read(connection, byte, sizeof byte)) > 0) received += static_cast<size_t>(n);
  close(connection);
  return received;
}

void reset_connection(int connection, const std::string &sent_first) {
  write_all(connection, sent_first.data(), sent_first.size());
  // A zero linger time makes close send a reset.
  linger abort_on_close = {1, 0};
  setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
  close(connection);
}

size_t output_size(const running_program &program) {
  struct stat status;
  return stat(program.out_path.c_str(), &status) == 0 ? static_cast<size_t>(status.st_size) : 0;
}

bool wait_for_output_beyond(const running_program &program, size_t size) {
  time_t deadline = time(nullptr) + wait_limit_seconds;
  while (time(nullptr) < deadline) {
    if (output_size(program) > size) return true;
    if (!program_is_running(program)) return false;
    usleep(1000);
  }
  ADD_FAILURE() << "no output beyond " << size << " bytes";
  return false;
}

program_result watch_snapshots(const std::vector<std::string> &arguments,
                               const std::vector<std::string> &snapshots,
                               const std::vector<std::string> &launcher) {
  fifo_feed feed = make_fifo_feed(make_temp_dir() + "/status");
  std::vector<std::string> argv = launcher;
  argv.insert(argv.end(), {SENTREL_BINARY, "-i", "0"});
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.push_back("-f");
  argv.push_back(feed.path);
  running_program program = start_program(argv, {"TZ=UTC"});
  for (const std::string &snapshot : snapshots)
    if (!feed_snapshot(feed, program, snapshot)) break;
  int held = await_next_poll(feed, program);
  program_result result = stop_program(program, held >= 0 ? SIGTERM : 0);
  if (held >= 0) close(held);
  return result;
}

program_result watch_snapshots_over_tcp(const std::vector<std::string> &arguments,
                                        const std::vector<std::string> &snapshots,
                                        const std::vector<peer_ending> &endings) {
  tcp_peer peer = open_tcp_peer();
  std::vector<std::string> argv = {SENTREL_BINARY, "-i", "0"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.insert(argv.end(), {"-F", "127.0.0.1:" + std::to_string(peer.port)});
  running_program program = start_program(argv, {"TZ=UTC"});
  std::vector<int> stalled;
  for (size_t i = 0; i < snapshots.size(); i++) {
    int connection = accept_connection(peer, program);
    if (connection < 0) break;
    peer_ending ending = i < endings.size() ? endings[i] : peer_ending::close;
    if (ending == peer_ending::close) serve_snapshot(connection, snapshots[i]);
    if (ending == peer_ending::reset) reset_connection(connection, snapshots[i]);
    if (ending != peer_ending::stall) continue;
    write_all(connection, snapshots[i].data(), snapshots[i].size());
    stalled.push_back(connection);
  }
  // The next connection shows that every poll served has ended.
  int held = accept_connection(peer, program);
  program_result result = stop_program(program, held >= 0 ? SIGTERM : 0);
  if (held >= 0) close(held);
  for (int connection : stalled) close(connection);
  close_tcp_peer(&peer);
  return result;
}

std::string with_source_as_SOURCE(const std::string &err) {
  static const std::regex source("/[^ :]*/status(\\.dat)?|127\\.0\\.0\\.1:[0-9]+");
  return std::regex_replace(err, source, "SOURCE");
}
