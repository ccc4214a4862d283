// The bundled demo: its snapshots make a first poll with problems and then
// changes, and demo/run stops cleanly on Ctrl-C.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <dirent.h>

#include <csignal>
#include <string>
#include <vector>

#include "status_feed.h"

namespace {

const std::string demo_dir = SENTREL_FIXTURES "/../../demo";

// A demo snapshot as demo/run installs it, dated 2009-11-23 14:07 UTC.
std::string demo_snapshot(int step) {
  std::string text = read_file(demo_dir + "/status-" + std::to_string(step) + ".dat");
  for (size_t at; (at = text.find("@NOW@")) != std::string::npos;)
    text.replace(at, 5, "1258985220");
  return text;
}

TEST(demo, snapshots_show_problems_then_changes) {
  std::vector<std::string> snapshots;
  for (int step : {1, 2, 3, 4, 1}) snapshots.push_back(demo_snapshot(step));
  program_result result = watch_snapshots({"-1"}, snapshots);
  const char *prefix = "2009/11/23 14:07 ";
  std::string expected;
  for (const char *line : {
           // The first poll: the current problems.
           "CRIT db1 Disk /var, DISK CRITICAL - free space: /var 310 MiB (1%)",
           "WARN web1 HTTPS, SSL WARNING - certificate expires in 9 days",
           // A load warning turns HARD; web1/HTTP failing SOFT is not shown yet.
           "WARN db1 Load, LOAD WARNING - load average: 6.12, 4.80, 2.91",
           // A host goes down, its services fail, the disk recovers.
           "CRIT mail1 , PING CRITICAL - Packet loss = 100%",
           " OK  db1 Disk /var, DISK OK - free space: /var 41210 MiB (62%)",
           "CRIT db1 Load, LOAD CRITICAL - load average: 14.02, 9.77, 5.10",
           "CRIT web1 HTTP, CRITICAL - Socket timeout after 10 seconds",
           "CRIT mail1 SMTP, CRITICAL - Socket timeout after 10 seconds",
           "CRIT mail1 IMAP, CRITICAL - Socket timeout after 10 seconds",
           // Everything but the certificate recovers.
           " OK  mail1 , PING OK - Packet loss = 0%, RTA = 0.31 ms",
           " OK  db1 Load, LOAD OK - load average: 0.41, 0.38, 0.35",
           " OK  web1 HTTP, HTTP OK: HTTP/1.1 200 OK - 5120 bytes in 0.004 second response time",
           " OK  mail1 SMTP, SMTP OK - 0.021 sec. response time",
           " OK  mail1 IMAP, IMAP OK - 0.008 second response time",
           // And round again.
           "CRIT db1 Disk /var, DISK CRITICAL - free space: /var 310 MiB (1%)",
       })
    expected += prefix + std::string(line) + "\n";
  EXPECT_EQ(expected, result.out);
  EXPECT_EQ("", result.err);
}

std::string masked_digits(std::string text) {
  for (char &c : text)
    if (c >= '0' && c <= '9') c = '#';
  return text;
}

bool is_empty_dir(const std::string &path) {
  DIR *dir = opendir(path.c_str());
  if (dir == nullptr) return false;
  int entries = 0;
  while (readdir(dir) != nullptr) entries++;
  closedir(dir);
  return entries == 2;  // . and ..
}

TEST(demo, run_shows_the_first_poll_and_cleans_up_on_interrupt) {
  std::string tmp = make_temp_dir();
  running_program demo =
      start_program({demo_dir + "/run", SENTREL_BINARY}, {"TMPDIR=" + tmp, "TZ=UTC"});
  // The first poll's two problems, two lines each, flushed at once.
  // Dated now, which the test does not know: digits are compared as '#'.
  std::string first_poll = masked_digits(
      "2000/01/01 00:00 CRIT db1 Disk /var\n"
      "DISK CRITICAL - free space: /var 310 MiB (1%)\n"
      "2000/01/01 00:00 WARN web1 HTTPS\n"
      "SSL WARNING - certificate expires in 9 days\n");
  EXPECT_TRUE(wait_for_output_beyond(demo, first_poll.size() - 1));
  kill(-demo.pid, SIGINT);  // what Ctrl-C sends to the terminal's group
  program_result result = stop_program(demo, 0);
  EXPECT_EQ(130, result.exit_status);
  EXPECT_EQ(first_poll, masked_digits(result.out.substr(0, first_poll.size()))) << result.out;
  EXPECT_EQ("", result.err);
  EXPECT_TRUE(is_empty_dir(tmp)) << "demo/run left files in " << tmp;
}

}  // namespace
