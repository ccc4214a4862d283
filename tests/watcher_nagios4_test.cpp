// The watcher over status files that a real Nagios 4.4 wrote (their README
// lists what each one holds), read from a FIFO and from socat serving the
// file over TCP the way the shipped inetd configuration does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "status_feed.h"
#include "status_text.h"

namespace {

const char edge_switch_down[] =
    "2026/12/08 16:49 CRIT edge-sw1 , CRITICAL - Host Unreachable (127.0.0.1)\n";
const char lab_pc_unreachable[] =
    "2026/12/08 16:49 CRIT lab-pc , CRITICAL - Host Unreachable (127.0.0.1)\n";
const char mysql_refused[] =
    "2026/12/08 16:48 CRIT db1 MySQL, Can't connect to MySQL server on '127.0.0.1' (111)\n";
// The services behind the down and the unreachable host.
const char services_behind_down_hosts[] =
    "2026/12/08 16:49 CRIT edge-sw1 Fan Status, CRITICAL - SNMP timeout\n"
    "2026/12/08 16:49 CRIT edge-sw1 PING, PING CRITICAL - Packet loss = 100%\n"
    "2026/12/08 16:49 CRIT edge-sw1 Uplink Port, CRITICAL: Interface GigabitEthernet0/1 "
    "(index 10101) is down.\n"
    "2026/12/08 16:49 CRIT lab-pc PING, PING CRITICAL - Packet loss = 100%\n"
    "2026/12/08 16:49  ??  lab-pc Uptime, UNKNOWN - No response from host\n";
const char backup_age[] =
    "2026/12/08 16:49 CRIT db1 Backup Age, CRITICAL - last backup 49 hours ago\n";
const char replication_lag[] =
    "2026/12/08 16:49 WARN db1 Replication Lag, "
    "{\"status\":\"lagging\",\"lag_seconds\":42,\"threshold\":{\"warn\":30,\"crit\":120}}\n";
const char smtp_unknown[] =
    "2026/12/08 16:49  ??  mail1 SMTP, "
    "SMTP UNKNOWN - Invalid hostname/address (check_smtp: getaddrinfo failed)\n";
const char disk_warning[] =
    "2026/12/08 16:49 WARN web1 Disk /, DISK WARNING - free space: / 812 MiB (8% inode=61%): "
    "{mount: /, fs=ext4} }extra{ a=b=c:\n";
const char https_warning[] =
    "2026/12/08 16:49 WARN web2 HTTPS, SSL WARNING - Zertifikat für „shop.example“ läuft in 5 "
    "Tagen ab – Größe ÄÖÜ ß, 日本語, emoji 🔒\n";
const char passive_trap[] =
    "2026/12/08 16:49 CRIT mail1 Passive Trap, TRAP CRITICAL - linkDown ifIndex=3 {Gi0/3}: "
    "severity=major\n";

// `file` with fields of its first host block set to other values, as
// Nagios would have written it had that host changed.
std::string with_first_host(std::string file, const std::vector<std::string> &fields) {
  size_t block = file.find("\nhoststatus {\n");
  for (const std::string &field : fields) {
    size_t key = file.find("\n\t" + field.substr(0, field.find('=') + 1), block);
    EXPECT_LT(key, file.find("\n\t}\n", block)) << field;
    file.replace(key + 2, file.find('\n', key + 2) - key - 2, field);
  }
  return file;
}

TEST(nagios4_first_poll, shows_the_hard_problems_each_file_holds) {
  struct {
    const char *file;
    std::string expected;
  } cases[] = {
      {"status-all-ok.dat", ""},
      {"status-odd-outputs.dat",
       std::string(backup_age) + mysql_refused + replication_lag + smtp_unknown + disk_warning + https_warning},
      // The DOWN and the UNREACHABLE host are shown and hide their services;
      // the acknowledged db1/MySQL is not shown.
      {"status-host-down.dat",
       std::string(edge_switch_down) + lab_pc_unreachable + backup_age + replication_lag + smtp_unknown + disk_warning + https_warning},
      // Acknowledged, in downtime, silenced and unchecked entries are hidden;
      // a passive-only and an active-disabled service are still shown.
      {"status-acks-downtime.dat",
       std::string(backup_age) + replication_lag + passive_trap + smtp_unknown + disk_warning +
           https_warning},
      // Written as Nagios started, with every downtime it kept not yet back
      // in effect: the host and the services in downtime stay hidden all the
      // same; a flexible downtime never begun and one for later hide nothing.
      {"status-just-started.dat",
       "2026/12/09 15:19 CRIT db1 MySQL, Can't connect to MySQL server on 'db1' (111)\n"
       "2026/12/09 15:19 CRIT web1 Disk /, DISK CRITICAL - free space: / 120 MiB (1% "
       "inode=40%):\n"},
  };
  for (const auto &c : cases) {
    program_result result = watch_snapshots({"-1"}, {fixture(std::string("nagios4/") + c.file), fixture(std::string("nagios4/") + c.file)});
    EXPECT_EQ(c.expected, result.out) << c.file;
    EXPECT_EQ("", result.err) << c.file;
  }
}

TEST(nagios4_later_polls, report_what_changed_between_files) {
  // Every change in these files is from HARD to HARD, so -H reports the
  // same: the comments and downtimes that appear meanwhile are no change.
  std::string expected =
      // Everything that went from HARD OK to a HARD problem, the
      // acknowledged db1/MySQL and the services of down hosts included.
      std::string(edge_switch_down) + lab_pc_unreachable + backup_age + mysql_refused +
      replication_lag + services_behind_down_hosts + smtp_unknown + disk_warning +
      https_warning +
      // Then only the two services that newly failed.
      "2026/12/08 16:49 CRIT mail1 IMAP, IMAP CRITICAL - Socket timeout after 10 seconds\n" +
      passive_trap +
      // Then every recovery; this file's state changes all read 0.
      "1970/01/01 00:00  OK  edge-sw1 , PING OK - Packet loss = 0%, RTA = 0.10 ms\n"
      "1970/01/01 00:00  OK  lab-pc , PING OK - Packet loss = 0%, RTA = 0.10 ms\n"
      "1970/01/01 00:00  OK  db1 Backup Age, OK - last backup 6 hours ago\n"
      "1970/01/01 00:00  OK  db1 MySQL, Uptime: 86400  Threads: 4  Questions: 123456  Slow "
      "queries: 0  Opens: 310  Flush tables: 1  Open tables: 200  Queries per second avg: "
      "1.429\n"
      "1970/01/01 00:00  OK  db1 Replication Lag, OK - replica lag 0s\n"
      "1970/01/01 00:00  OK  edge-sw1 Fan Status, OK - all 4 fans running\n"
      "1970/01/01 00:00  OK  edge-sw1 PING, PING OK - Packet loss = 0%, RTA = 0.41 ms\n"
      "1970/01/01 00:00  OK  edge-sw1 Uplink Port, OK: Interface GigabitEthernet0/1 (index "
      "10101) is up.\n"
      "1970/01/01 00:00  OK  lab-pc PING, PING OK - Packet loss = 0%, RTA = 0.80 ms\n"
      "1970/01/01 00:00  OK  lab-pc Uptime, OK - up 12 days, 3:04\n"
      "1970/01/01 00:00  OK  mail1 IMAP, IMAP OK - 0.008 second response time on 127.0.0.1 "
      "port 143 [* OK IMAP4rev1 ready]\n"
      "1970/01/01 00:00  OK  mail1 Passive Trap, OK - mail1.trap (no control file)\n"
      "1970/01/01 00:00  OK  mail1 SMTP, SMTP OK - 0.021 sec. response time\n"
      "1970/01/01 00:00  OK  web1 Disk /, DISK OK - free space: / 7420 MiB (74% inode=91%):\n"
      "1970/01/01 00:00  OK  web2 HTTPS, SSL OK - Certificate will expire on 2031-01-01 00:00 "
      "+0000/GMT.\n";
  for (const char *changes : {"-h", "-H"}) {
    program_result result = watch_snapshots(
        {"-1", changes},
        {fixture("nagios4/status-all-ok.dat"), fixture("nagios4/status-host-down.dat"),
         fixture("nagios4/status-acks-downtime.dat"), fixture("nagios4/status-all-ok.dat")});
    EXPECT_EQ(expected, result.out) << changes;
    EXPECT_EQ("", result.err) << changes;
  }
}

TEST(nagios4_later_polls, a_host_with_comments_that_stays_down_is_reported_once) {
  // db1, the file's first host, has a comment and a downtime scheduled for
  // later; their blocks end the file, where each poll's last lookup ends.
  std::string up = fixture("nagios4/status-acks-downtime.dat");
  std::string down = with_first_host(
      up, {"current_state=1", "plugin_output=CRITICAL - Host Unreachable (127.0.0.1)"});
  program_result result = watch_snapshots({"-1"}, {down, down, down, up});
  // The first poll, with db1's services hidden behind it; then its recovery.
  EXPECT_EQ(std::string("2026/12/08 16:48 CRIT db1 , CRITICAL - Host Unreachable (127.0.0.1)\n") +
                passive_trap + smtp_unknown + disk_warning + https_warning +
                "2026/12/08 16:48  OK  db1 , PING OK - Packet loss = 0%, RTA = 0.10 ms\n",
            result.out);
  EXPECT_EQ("", result.err);
}

TEST(nagios4_tcp, socat_serving_the_file_like_the_inetd_service) {
  if (access("/usr/bin/socat", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/socat";
  uint16_t port = free_port_outside_ephemeral_range();
  if (port == 0) GTEST_SKIP() << unknown_ephemeral_range;
  fifo_feed feed = make_fifo_feed(make_temp_dir() + "/status.dat");
  // One `cat` of the status file per connection, as the inetd line runs it.
  running_program socat = start_program(
      {"/usr/bin/socat", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
       "SYSTEM:cat " + feed.path});
  // The watcher's connections are refused until socat listens, which it
  // says once if it comes first.
  std::string source = "127.0.0.1:" + std::to_string(port);
  running_program watcher =
      start_program({SENTREL_BINARY, "-1", "-i", "0", "-F", source}, {"TZ=UTC"});
  feed_snapshot(feed, watcher, fixture("nagios4/status-odd-outputs.dat"));
  feed_snapshot(feed, watcher, fixture("nagios4/status-host-down.dat"));
  int held = await_next_poll(feed, watcher);
  program_result result = stop_program(watcher, SIGTERM);
  close(held);
  stop_program(socat, SIGTERM);
  // The first poll's problems, then what changed when the switch went down.
  // The acknowledgement of db1/MySQL is no change of state.
  EXPECT_EQ(std::string(backup_age) + mysql_refused + replication_lag + smtp_unknown +
                disk_warning + https_warning + edge_switch_down + lab_pc_unreachable +
                services_behind_down_hosts,
            result.out);
  if (!result.err.empty()) {
    EXPECT_EQ("cannot connect to " + source + ": Connection refused\n", result.err);
  }
}

}  // namespace
