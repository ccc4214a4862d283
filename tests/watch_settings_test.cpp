// Option parsing, in process for the settings and through the built binary
// for the texts and exit statuses.
#include "watcher/watch_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace {

// Parses `arguments` (after the program name) into fresh settings.
watch_settings parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "sentrel");
  std::vector<char *> argv;
  for (std::string &argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  watch_settings settings;
  // BSD getopt keeps state of its own that only optreset clears.
#if defined(__FreeBSD__) || defined(__NetBSD__) || defined(__OpenBSD__) || \
    defined(__DragonFly__) || defined(__APPLE__)
  optreset = 1;
#endif
  optind = 1;
  parse_options(static_cast<int>(arguments.size()), argv.data(), &settings);
  // Settings keep pointers into argv; copy the source so the test may check it.
  static std::string source;
  source = settings.status_source;
  settings.status_source = source.c_str();
  return settings;
}

const char usage_text[] =
    "sentrel, v" SENTREL_VERSION "\n"
    "\n"
    "-f     path to status.log ('status_file' parameter in nagios.cfg)\n"
    "-F     host:port for retrieving status.log\n"
    "-x     status.log is in nagios 1.0 format\n"
    "-X     status.log is in nagios 2.0 format\n"
    "-h     show only state type 'HARD' (default)\n"
    "-H     show also state type 'SOFT'\n"
    "-i     check interval (in seconds - default 60)\n";

TEST(watch_settings, defaults_without_options) {
  watch_settings settings = parse({});
  EXPECT_STREQ("/var/spool/nagios/status.dat", settings.status_source);
  EXPECT_TRUE(settings.source_is_file);
  EXPECT_TRUE(settings.status_dat_format);
  EXPECT_TRUE(settings.hard_only);
  EXPECT_FALSE(settings.verbose);
  EXPECT_FALSE(settings.one_line);
  EXPECT_EQ(60, settings.poll_interval);
}

TEST(watch_settings, every_option_sets_its_field) {
  watch_settings settings = parse({"-1", "-x", "-H", "-v", "-i", "7", "-F", "nagios:80"});
  EXPECT_TRUE(settings.one_line);
  EXPECT_FALSE(settings.status_dat_format);
  EXPECT_FALSE(settings.hard_only);
  EXPECT_TRUE(settings.verbose);
  EXPECT_EQ(7, settings.poll_interval);
  EXPECT_STREQ("nagios:80", settings.status_source);
  EXPECT_FALSE(settings.source_is_file);
}

TEST(watch_settings, later_option_wins) {
  EXPECT_TRUE(parse({"-x", "-X"}).status_dat_format);
  EXPECT_FALSE(parse({"-X", "-x"}).status_dat_format);
  EXPECT_TRUE(parse({"-H", "-h"}).hard_only);
  EXPECT_EQ(3, parse({"-i", "9", "-i3"}).poll_interval);
}

TEST(watch_settings, file_and_service_share_the_source) {
  watch_settings remote = parse({"-f", "a", "-F", "h:9"});
  EXPECT_STREQ("h:9", remote.status_source);
  EXPECT_FALSE(remote.source_is_file);
  watch_settings local = parse({"-F", "h:9", "-f", "a"});
  EXPECT_STREQ("a", local.status_source);
  EXPECT_TRUE(local.source_is_file);
}

TEST(watch_settings, operand_stops_parsing) {
  watch_settings settings = parse({"extra", "-v", "-H"});
  EXPECT_FALSE(settings.verbose);
  EXPECT_TRUE(settings.hard_only);
  EXPECT_FALSE(parse({"-1", "--", "-v"}).verbose);
  EXPECT_TRUE(parse({"-1", "--", "-v"}).one_line);
}

TEST(watch_settings, interval_reads_like_atoi) {
  struct { const char *text; int32_t seconds; } cases[] = {
      {"0", 0},        {"abc", 0},      {"5s", 5},
      {"-3", -3},      {"  +12", 12},   {"2147483647", 2147483647},
      // Past 32 bits atoi keeps the low 32 bits of the 64-bit value.
      {"99999999999", 1215752191},      {"4294967296", 0},
      {"99999999999999999999999", -1},  // saturates at INT64_MAX first
  };
  for (const auto &c : cases)
    EXPECT_EQ(c.seconds, parse({"-i", c.text}).poll_interval) << c.text;
}

TEST(sentrel_command_line, version_exits_zero) {
  program_result result = run_sentrel({"-V", "-z"});
  EXPECT_EQ(0, result.exit_status);
  EXPECT_EQ("sentrel, v" SENTREL_VERSION "\n", result.out);
  EXPECT_EQ("", result.err);
}

TEST(sentrel_command_line, bad_options_print_usage_and_exit_zero) {
  const std::vector<std::vector<std::string>> cases = {
      {"-z"}, {"-z", "-V"}, {"-f"}, {"-x", "-F"}, {"-i"}, {"-?"},
  };
  for (const auto &arguments : cases) {
    program_result result = run_sentrel(arguments);
    EXPECT_EQ(0, result.exit_status) << arguments[0];
    EXPECT_EQ(usage_text, result.out) << arguments[0];
    // getopt's own diagnostic, in the platform's wording.
    EXPECT_NE(std::string::npos, result.err.find("sentrel")) << result.err;
  }
}

TEST(sentrel_command_line, operand_before_version_is_ignored_with_it) {
  // The operand ends parsing, so -V is never seen and the watcher starts on
  // the default file; missing here, it is named and then waited for, so the
  // watcher is stopped after a moment.
  program_result result = run_sentrel({"extra", "-V"}, 2);
  EXPECT_EQ("", result.out);
  EXPECT_EQ("cannot open status file /var/spool/nagios/status.dat: No such file or directory\n",
            result.err);
}

}  // namespace
