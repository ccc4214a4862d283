// The status source against real files, real loopback listeners and a real
// resolver; the fatal resolver messages through the built binary.
#include "input/status_source.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "status_feed.h"

namespace {

// Whether a connection is waiting to be accepted; takes it if so.
bool accepts_one(const tcp_peer &server) {
  int connection = accept(server.fd, nullptr, nullptr);
  if (connection < 0) return false;
  close(connection);
  return true;
}

TEST(status_source, port_text_reads_like_atoi_cut_to_16_bits) {
  struct {
    const char *text;
    uint16_t port;
  } cases[] = {
      {"80", 80},     {"", 0},        {"http", 0},       {"70000", 4464},
      {"80:90", 80},  {" +8080", 8080}, {"65536", 0},    {"-1", 65535},
      {"4294967377", 81},  // 2^32 + 81: atoi keeps the low 32 bits first
  };
  for (const auto &c : cases) EXPECT_EQ(c.port, port_from_text(c.text)) << c.text;
}

TEST(status_source, connects_to_the_port_the_text_names) {
  tcp_peer server = open_tcp_peer();
  std::string port = std::to_string(server.port);
  std::string wrapped = std::to_string(server.port + 65536);
  const std::vector<std::string> sources = {
      "127.0.0.1:" + port, "localhost:" + port, "127.0.0.1:" + port + ":90",
      "127.0.0.1:" + wrapped, "127.0.0.1: " + port + "x",
  };
  for (const std::string &source : sources) {
    int32_t fd = open_status_source(source.c_str(), false, 10);
    ASSERT_GE(fd, 0) << source;
    int keep_alive = 0;
    socklen_t length = sizeof keep_alive;
    getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &keep_alive, &length);
    EXPECT_EQ(1, keep_alive) << source;
    EXPECT_TRUE(accepts_one(server)) << source;
    close(fd);
  }
  close_tcp_peer(&server);
}

TEST(status_source, bare_host_name_uses_port_33333) {
  tcp_peer server = bind_tcp_peer(33333, true);
  if (server.fd < 0) GTEST_SKIP() << "port 33333 is taken on this machine";
  int32_t fd = connect_to_host("127.0.0.1");
  EXPECT_GE(fd, 0);
  EXPECT_TRUE(accepts_one(server));
  close(fd);
  close_tcp_peer(&server);
}

TEST(status_source, refused_connection_and_missing_file_give_minus_one_and_why) {
  tcp_peer closed_port = bind_tcp_peer(0, false);  // bound, so nobody else listens there
  ASSERT_GE(closed_port.fd, 0);
  std::string dir = make_temp_dir();
  struct {
    const char *name;
    std::string source;
    bool is_file;
    int error;
  } cases[] = {
      {"nobody listens", "127.0.0.1:" + std::to_string(closed_port.port), false, ECONNREFUSED},
      {"port text ends at the colon", "127.0.0.1:", false, ECONNREFUSED},
      {"port text without digits", "127.0.0.1:nagios", false, ECONNREFUSED},
      {"missing file", dir + "/status.dat", true, ENOENT},
      // A remote source text is a path like any other when -f gave it.
      {"host text as a file name", "127.0.0.1:80", true, ENOENT},
  };
  for (const auto &c : cases) {
    errno = 0;
    EXPECT_EQ(-1, open_status_source(c.source.c_str(), c.is_file, 10)) << c.name;
    EXPECT_EQ(c.error, errno) << c.name;
  }
  close_tcp_peer(&closed_port);
}

TEST(status_source, socket_connected_to_itself_is_told_apart) {
  // What the kernel does when it picks the absent service's own port for the
  // watcher's side: bound to the port it connects to, the socket meets itself.
  tcp_peer self = bind_tcp_peer(0, false);
  sockaddr_in address = loopback_address(self.port);
  EXPECT_EQ(0, connect(self.fd, reinterpret_cast<sockaddr *>(&address), sizeof address));
  EXPECT_TRUE(connected_to_itself(self.fd));
  close_tcp_peer(&self);

  tcp_peer server = open_tcp_peer();
  int32_t client = open_status_source(("127.0.0.1:" + std::to_string(server.port)).c_str(), false, 10);
  EXPECT_GE(client, 0);
  EXPECT_FALSE(connected_to_itself(client));
  close(client);
  close_tcp_peer(&server);
}

TEST(status_source, file_opens_read_only) {
  std::string path = make_temp_dir() + "/status.dat";
  write_file(path, "info {\n}\n");
  int32_t fd = open_status_source(path.c_str(), true, 10);
  ASSERT_GE(fd, 0);
  char text[16] = {};
  EXPECT_EQ(9, read(fd, text, sizeof text));
  EXPECT_STREQ("info {\n}\n", text);
  EXPECT_EQ(-1, write(fd, "x", 1));
  close(fd);
}

TEST(status_source, resolves_ipv4_names) {
  for (const char *name : {"127.0.0.1", "localhost"}) {
    sockaddr_in address{};
    resolve_host(name, &address);
    EXPECT_EQ(AF_INET, address.sin_family) << name;
    EXPECT_EQ(htonl(INADDR_LOOPBACK), address.sin_addr.s_addr) << name;
    EXPECT_EQ(0, address.sin_port) << name;
  }
}

// Whether the test may run sentrel in private namespaces, where name
// resolution cannot depend on the network this machine happens to have.
bool namespaces_usable() {
  return run_program({"/usr/bin/unshare", "-rm", "true"}).exit_status == 0;
}

// A name that is unknown ends the watcher; a name server that cannot be
// reached costs each poll, named once.
TEST(status_source, unresolvable_name_ends_the_watcher) {
  std::string dir = make_temp_dir();
  std::string files_only = dir + "/nsswitch.conf";
  write_file(files_only, "hosts: files\n");
  std::vector<std::string> watch = {SENTREL_BINARY, "-i", "0", "-F", "nosuch.invalid:33333"};
  struct {
    const char *name;
    std::vector<std::string> prefix;
    const char *message;
    bool is_fatal;
  } cases[] = {
      // Only /etc/hosts answers, so the name is unknown without asking DNS.
      {"unknown host",
       {"/usr/bin/unshare", "-rm", "sh", "-c",
        "mount --bind " + files_only + " /etc/nsswitch.conf && exec \"$@\"", "sh"},
       "The specified host is unknown.\n", true},
      // No network at all: the name server cannot be reached.
      {"no name server", {"/usr/bin/unshare", "-rn"},
       "cannot connect to nosuch.invalid:33333: Temporary failure in name resolution\n", false},
  };
  if (!namespaces_usable()) {
    // Without namespaces the answer depends on this machine's resolver.
    setenv("RES_OPTIONS", "timeout:1 attempts:1", 1);
    program_result result = run_program(watch, "", 20);
    unsetenv("RES_OPTIONS");
    EXPECT_EQ(1, result.exit_status);
    EXPECT_TRUE(is_fatal_record(result.err, cases[0].message)) << result.err;
    GTEST_SKIP() << "no private namespaces: only the local resolver's answer was checked";
  }
  for (const auto &c : cases) {
    std::vector<std::string> argv = c.prefix;
    argv.insert(argv.end(), watch.begin(), watch.end());
    program_result result = run_program(argv, "", c.is_fatal ? 20 : 2);
    EXPECT_EQ(c.is_fatal ? 1 : -1, result.exit_status) << c.name;
    EXPECT_EQ("", result.out) << c.name;
    EXPECT_TRUE(c.is_fatal ? is_fatal_record(result.err, c.message) : result.err == c.message)
        << c.name << ": " << result.err;
  }
}

}  // namespace
