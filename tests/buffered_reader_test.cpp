// The line reader over real descriptors: pipes fed by a writer thread,
// socketpairs, files, and a TCP connection reset by its peer.
#include "input/buffered_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "sanitizers.h"
#include "status_feed.h"

namespace {

// Every line the reader hands out until it reports the end of the data.
std::vector<std::string> read_all_lines(int fd, int32_t block_size = 4096) {
  buffered_reader reader(fd, block_size);
  std::vector<std::string> lines;
  while (char *line = reader.read_line()) {
    lines.emplace_back(line);
    free(line);
  }
  return lines;
}

// Writes `data` into a pipe from another thread in pieces of `piece` bytes,
// and returns the lines read from the other end.
std::vector<std::string> lines_through_pipe(const std::string &data, size_t piece,
                                            int32_t block_size = 4096) {
  int fds[2];
  EXPECT_EQ(0, pipe(fds));
  std::thread writer([&] {
    for (size_t at = 0; at < data.size(); at += piece) {
      size_t n = std::min(piece, data.size() - at);
      EXPECT_EQ(static_cast<ssize_t>(n), write(fds[1], data.data() + at, n));
    }
    close(fds[1]);
  });
  std::vector<std::string> lines = read_all_lines(fds[0], block_size);
  writer.join();
  close(fds[0]);
  return lines;
}

using lines = std::vector<std::string>;

TEST(buffered_reader, splits_input_into_lines) {
  std::string long_line(10000, 'L');
  std::string longest_line(buffered_reader::max_line_length, 'L');
  struct {
    const char *name;
    std::string data;
    lines expected;
  } cases[] = {
      {"empty input", "", {}},
      {"one line feed", "\n", {""}},
      {"ends with line feed", "a\nbb\n", {"a", "bb"}},
      {"last line without line feed", "a\nbb", {"a", "bb"}},
      {"blank lines kept", "\n\na\n\n", {"", "", "a", ""}},
      {"carriage return kept", "host {\r\n\tx=1\r\n", {"host {\r", "\tx=1\r"}},
      {"line longer than a block", "a\n" + long_line + "\nb", {"a", long_line, "b"}},
      {"line cut to its first megabyte", longest_line + "dropped\nb", {longest_line, "b"}},
      {"last line cut", "a\n" + longest_line + "dropped", {"a", longest_line}},
      {"other bytes unchanged", "\t{ } = ; \\n \xc3\xa9\n", {"\t{ } = ; \\n \xc3\xa9"}},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(c.expected, lines_through_pipe(c.data, 1 << 20)) << c.name << ", at once";
    // In tiny reads a megabyte line would cost a reallocation of it each.
    if (c.data.size() > 65536) continue;
    EXPECT_EQ(c.expected, lines_through_pipe(c.data, 1)) << c.name << ", byte by byte";
    EXPECT_EQ(c.expected, lines_through_pipe(c.data, 7, 5)) << c.name << ", small blocks";
  }
}

TEST(buffered_reader, nul_byte_cuts_its_line_only) {
  struct {
    const char *name;
    std::string data;
    lines expected;
  } cases[] = {
      {"inside a line", std::string("ab\0cd\nef\n", 9), {"ab", "ef"}},
      {"at the start of a line", std::string("\0x\ny\n", 5), {"", "y"}},
      {"in the last line", std::string("a\nb\0c", 5), {"a", "b"}},
      {"several", std::string("\0\0\n\0\n\n", 6), {"", "", ""}},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(c.expected, lines_through_pipe(c.data, 1 << 20)) << c.name;
    EXPECT_EQ(c.expected, lines_through_pipe(c.data, 1, 3)) << c.name << ", small blocks";
  }
}

TEST(buffered_reader, reads_a_real_status_file_whole) {
  std::string path = std::string(SENTREL_FIXTURES) + "/nagios4/status-odd-outputs.dat";
  std::string contents = read_file(path);
  int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  lines got = read_all_lines(fd);
  close(fd);
  std::string joined;
  for (const std::string &line : got) joined += line + "\n";
  EXPECT_EQ(contents, joined);
}

TEST(buffered_reader, socketpair_in_many_small_pieces) {
  int fds[2];
  ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM, 0, fds));
  std::string data;
  for (int i = 0; i < 500; i++) data += "\tcurrent_state=" + std::to_string(i) + "\n";
  std::thread writer([&] {
    for (size_t at = 0; at < data.size(); at += 3)
      send(fds[1], data.data() + at, std::min<size_t>(3, data.size() - at), 0);
    close(fds[1]);
  });
  lines got = read_all_lines(fds[0]);
  writer.join();
  close(fds[0]);
  ASSERT_EQ(500u, got.size());
  EXPECT_EQ("\tcurrent_state=0", got[0]);
  EXPECT_EQ("\tcurrent_state=499", got[499]);
}

// Reads "abc\n" + "defgh\n" through a pipe written up front.
struct pipe_reader {
  int fds[2];
  explicit pipe_reader(const std::string &data) {
    EXPECT_EQ(0, pipe(fds));
    EXPECT_EQ(static_cast<ssize_t>(data.size()), write(fds[1], data.data(), data.size()));
    close(fds[1]);
  }
  ~pipe_reader() { close(fds[0]); }
};

TEST(buffered_reader, compacts_only_when_a_line_runs_past_the_held_data) {
  pipe_reader input("abc\ndefgh\n");
  buffered_reader reader(input.fds[0], 4);
  EXPECT_EQ(nullptr, reader.buffer);

  // "abc\n" fills the first block exactly: the buffer is not compacted and
  // the next block is appended behind the consumed line.
  char *line = reader.read_line();
  EXPECT_STREQ("abc", line);
  free(line);
  EXPECT_EQ(4, reader.bytes_held);
  EXPECT_EQ(4, reader.read_pos);

  // "defg" does not end its line: reading on moves it to the start first.
  line = reader.read_line();
  EXPECT_STREQ("defgh", line);
  free(line);
  EXPECT_EQ(0, memcmp(reader.buffer, "defgh\n", 6));
  EXPECT_EQ(6, reader.bytes_held);
  EXPECT_EQ(6, reader.read_pos);

  EXPECT_EQ(nullptr, reader.read_line());
  EXPECT_EQ(nullptr, reader.read_line());
}

TEST(buffered_reader, end_of_data_after_line_without_line_feed) {
  pipe_reader input("ab");
  buffered_reader reader(input.fds[0], 4096);
  char *line = reader.read_line();
  EXPECT_STREQ("ab", line);
  free(line);
  EXPECT_EQ(3, reader.read_pos);  // one past the held data marks the end
  EXPECT_EQ(nullptr, reader.read_line());
  EXPECT_EQ('\0', reader.buffer[reader.bytes_held]);
}

// A file that grows while it is read, as one rewritten in place does: the
// end found inside a line stays the end, and the rest of that line, written
// later, is no line of its own.
TEST(buffered_reader, end_found_inside_a_line_is_final) {
  std::string path = make_temp_dir() + "/growing";
  write_file(path, "a=1\ncurrent_sta");
  int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::vector<std::string> lines;
  {
    buffered_reader reader(fd, 4096);
    while (char *line = reader.read_line()) {
      lines.emplace_back(line);
      free(line);
      // The writer goes on once the reader has met the end of the data.
      if (lines.size() == 2) write_file(path, "a=1\ncurrent_state=2\n");
    }
  }
  close(fd);
  EXPECT_EQ(std::vector<std::string>({"a=1", "current_sta"}), lines);
}

std::atomic<int> signals_seen{0};
void count_signal(int) { signals_seen++; }

TEST(buffered_reader, interrupted_read_is_repeated_without_loss) {
  struct sigaction action = {};
  action.sa_handler = count_signal;  // no SA_RESTART: read fails with EINTR
  struct sigaction previous;
  sigaction(SIGALRM, &action, &previous);
  itimerval every_5ms = {{0, 5000}, {0, 5000}};
  setitimer(ITIMER_REAL, &every_5ms, nullptr);

  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  signals_seen = 0;
  std::thread writer([&] {
    // The signals must interrupt the reader, not this thread.
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
    // Write only once the blocked reader has been interrupted a few times.
    while (signals_seen < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(6, write(fds[1], "one\ntw", 6));
    while (signals_seen < 6) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(3, write(fds[1], "o\n3", 3));
    close(fds[1]);
  });
  lines got = read_all_lines(fds[0]);
  writer.join();
  itimerval off = {};
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &previous, nullptr);
  close(fds[0]);
  EXPECT_EQ((lines{"one", "two", "3"}), got);
}

TEST(buffered_reader, nonblocking_descriptor_is_read_again_until_data_comes) {
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(4, write(fds[1], "a\nb\n", 4));
    close(fds[1]);
  });
  lines got = read_all_lines(fds[0]);
  writer.join();
  close(fds[0]);
  EXPECT_EQ((lines{"a", "b"}), got);
}

// A TCP connection on loopback whose peer resets it after sending `data`.
int connection_reset_after(const std::string &data) {
  tcp_peer listener = open_tcp_peer();
  sockaddr_in address = loopback_address(listener.port);
  int client = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(0, connect(client, reinterpret_cast<sockaddr *>(&address), sizeof address));
  int server = accept(listener.fd, nullptr, nullptr);
  close_tcp_peer(&listener);
  reset_connection(server, data);
  return client;
}

TEST(buffered_reader, connection_reset_ends_the_data_and_tells_why) {
  int client = connection_reset_after("hoststatus {\n\thost_name=db1\n");
  buffered_reader reader(client, 4096);
  while (char *line = reader.read_line()) free(line);
  EXPECT_EQ(ECONNRESET, reader.transfer_error);
  close(client);
}

TEST(buffered_reader, read_failure_goes_to_system_log_at_emerg) {
  program_result result;
  std::vector<std::string> log;
  bool captured = run_forked_with_syslog([] {
    int directory = open("/", O_RDONLY);
    buffered_reader reader(directory, 4096);
    reader.read_line();
  }, &result, &log);
  if (!captured) GTEST_SKIP() << "no /dev/log of its own: needs a Linux mount namespace, as root";
  EXPECT_EQ(1, result.exit_status);
  EXPECT_EQ("buffered_reader::read_into_buffer: read failed (" + std::string(strerror(EISDIR)) +
                ")\n",
            result.err);
  ASSERT_EQ(1u, log.size());
  int priority;
  std::string message = syslog_message(log[0], &priority);
  EXPECT_EQ(LOG_USER | LOG_EMERG, priority);
  EXPECT_EQ("buffered_reader::read_into_buffer: read failed: " + std::string(strerror(EISDIR)),
            message);
}

#ifndef SENTREL_ASAN
TEST(buffered_reader, buffer_that_cannot_grow_ends_the_process) {
  program_result result = run_forked([] {
    rlimit limit = {256 << 20, 256 << 20};
    setrlimit(RLIMIT_AS, &limit);
    buffered_reader reader(0, 1 << 30);
    reader.read_line();
  });
  EXPECT_EQ(1, result.exit_status);
  EXPECT_EQ("buffered_reader::read_into_buffer: realloc failed\n", result.err);
}
#endif

}  // namespace
