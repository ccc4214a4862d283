// The watcher over status files that a real Icinga 2.13 wrote (their README
// lists what each one holds): comment and downtime blocks stand right after
// their host or service there, and host and service blocks carry keys that
// Nagios does not write. Each case pairs snapshots with the exact output in
// expected/.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "status_feed.h"

namespace {

TEST(icinga2, each_case_prints_exactly_its_expected_lines) {
  const std::vector<std::string> sequence = {"status-all-ok.dat", "status-comments.dat",
                                             "status-downtimes.dat", "status-recovered.dat"};
  auto thrice = [](const std::string &file) { return std::vector<std::string>(3, file); };
  struct {
    std::vector<std::string> options;
    std::vector<std::string> files;  // one per poll
    const char *expected;
  } cases[] = {
      // An unchanged file shows its problems on the first poll and nothing
      // after, even with every change reported.
      {{"-1", "-H"}, thrice("status-all-ok.dat"), "first-poll-all-ok.txt"},
      {{"-1", "-H"}, thrice("status-comments.dat"), "first-poll-comments.txt"},
      {{"-1", "-H"}, thrice("status-downtimes.dat"), "first-poll-downtimes.txt"},
      {{"-1", "-H"}, thrice("status-recovered.dat"), "first-poll-recovered.txt"},
      {{"-1", "-h"}, sequence, "sequence-hard-changes.txt"},
      {{"-1", "-H"}, sequence, "sequence-all-changes.txt"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.expected);
    std::vector<std::string> snapshots;
    for (const std::string &file : c.files) snapshots.push_back(fixture("icinga2/" + file));
    program_result result = watch_snapshots(c.options, snapshots);
    EXPECT_EQ(fixture(std::string("icinga2/expected/") + c.expected), result.out);
    EXPECT_EQ(std::string::npos, result.out.find("???"));
    EXPECT_EQ(std::string::npos, result.out.find("1970/"));
    EXPECT_EQ("", result.err);
  }
}

}  // namespace
