// fatal and the allocation wrappers, run in child processes because every
// failure ends the process.
#include "support/fatal.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <syslog.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "run_program.h"
#include "sanitizers.h"

namespace {

TEST(fatal, writes_message_and_errno_note_and_exits_1) {
  struct {
    const char *name;
    std::function<void()> body;
    std::string err;
  } cases[] = {
      {"plain", [] { errno = 0; fatal("problem creating socket"); },
       "problem creating socket: errno=0 (if applicable)\n"},
      {"arguments", [] { errno = ENOENT; fatal("state %d of %s", -4, "db1"); },
       "state -4 of db1: errno=2 (if applicable)\n"},
      // A format ending in a line feed puts the note on a line of its own.
      {"line feed", [] { errno = 0; fatal("The specified host is unknown.\n"); },
       "The specified host is unknown.\n: errno=0 (if applicable)\n"},
      // After formatting, the message is data: its percent signs stay.
      {"percent", [] { errno = 0; fatal("%s", "disk 100%s full %d"); },
       "disk 100%s full %d: errno=0 (if applicable)\n"},
  };
  for (const auto &c : cases) {
    program_result result = run_forked(c.body);
    EXPECT_EQ(1, result.exit_status) << c.name;
    EXPECT_EQ(c.err, result.err) << c.name;
    EXPECT_EQ("", result.out) << c.name;
  }
}

TEST(fatal, cuts_long_messages_to_4095_bytes) {
  program_result result = run_forked([] {
    std::string long_text(5000, 'x');
    errno = 0;
    fatal("%s%s", "<", long_text.c_str());
  });
  EXPECT_EQ(1, result.exit_status);
  EXPECT_EQ("<" + std::string(4094, 'x') + ": errno=0 (if applicable)\n", result.err);
}

TEST(fatal, flushes_standard_output_written_before) {
  program_result result = run_forked([] {
    printf("2009/11/23 14:07 CRIT db1 load\nload too high\n");
    fatal("internal error: state %d not known", 4);
  });
  EXPECT_EQ(1, result.exit_status);
  EXPECT_EQ("2009/11/23 14:07 CRIT db1 load\nload too high\n", result.out);
}

TEST(fatal, sends_quoted_message_with_errno_text_to_system_log) {
  program_result result;
  std::vector<std::string> log;
  if (!run_forked_with_syslog([] { errno = ENOENT; fatal("no %s here\n", "status"); }, &result,
                              &log))
    GTEST_SKIP() << "no /dev/log of its own: needs a Linux mount namespace, as root";
  EXPECT_EQ(1, result.exit_status);
  ASSERT_EQ(1u, log.size());
  int priority;
  std::string message = syslog_message(log[0], &priority);
  EXPECT_EQ(LOG_USER | LOG_ERR, priority) << log[0];
  EXPECT_EQ("'no status here\n': " + std::string(strerror(ENOENT)), message);
  // Never opened explicitly: the program's own name is the identity.
  EXPECT_NE(std::string::npos, log[0].find(" sentrel_tests: ")) << log[0];
}

TEST(fatal, system_log_copy_keeps_percent_signs_and_is_cut_too) {
  program_result result;
  std::vector<std::string> log;
  if (!run_forked_with_syslog([] { errno = 0; fatal("%s", std::string(5000, '%').c_str()); },
                              &result, &log))
    GTEST_SKIP() << "no /dev/log of its own: needs a Linux mount namespace, as root";
  ASSERT_EQ(1u, log.size());
  int priority;
  std::string message = syslog_message(log[0], &priority);
  EXPECT_EQ("'" + std::string(4095, '%') + "': " + strerror(0), message);
}

TEST(xrealloc, grows_keeps_contents_and_frees) {
  char *block = static_cast<char *>(xrealloc(nullptr, 4, "test block"));
  memcpy(block, "abc", 4);
  block = static_cast<char *>(xrealloc(block, 1 << 20, "test block"));
  EXPECT_STREQ("abc", block);
  block = static_cast<char *>(xrealloc(block, 0, "test block"));
  EXPECT_NE(nullptr, block);
  xfree(block, "test block");
  xfree(nullptr, "never printed");
}

TEST(xrealloc, negative_size_fails_with_the_number_and_label) {
  program_result result = run_forked([] {
    errno = 0;
    xrealloc(nullptr, -8, "stats array");
  });
  EXPECT_EQ(1, result.exit_status);
  EXPECT_EQ("failed to reallocate to -8 bytes for stats array\n: errno=0 (if applicable)\n",
            result.err);
}

TEST(allocation, exhausted_allocator_ends_the_process) {
#ifdef SENTREL_ASAN
  GTEST_SKIP() << "an address-space limit breaks AddressSanitizer";
#else
  struct {
    const char *name;
    std::function<void()> allocate;
    const char *message;
  } cases[] = {
      {"xrealloc", [] { xrealloc(nullptr, 1 << 30, "stats array"); },
       "failed to reallocate to 1073741824 bytes for stats array\n"},
      {"a standard container",
       [] {
         std::set_new_handler(new_failed);
         std::vector<char> table(size_t{1} << 30);
       },
       "failed to allocate memory\n"},
  };
  for (const auto &c : cases) {
    program_result result = run_forked([&c] {
      rlimit limit = {256 << 20, 256 << 20};
      setrlimit(RLIMIT_AS, &limit);
      c.allocate();
    });
    EXPECT_EQ(1, result.exit_status) << c.name;
    EXPECT_EQ(std::string(c.message) + ": errno=" + std::to_string(ENOMEM) + " (if applicable)\n",
              result.err)
        << c.name;
  }
#endif
}

TEST(xstrdup, copies_whole_text) {
  const char *texts[] = {"", "db1", "Température CPU", "a;b{c}=d"};
  for (const char *text : texts) {
    char *copy = xstrdup(text);
    EXPECT_STREQ(text, copy);
    EXPECT_NE(text, copy);
    xfree(copy, "entry hostname");
  }
}

TEST(xstrdup, failure_shows_the_beginning_of_the_text) {
#ifdef SENTREL_ASAN
  GTEST_SKIP() << "an address-space limit breaks AddressSanitizer";
#else
  program_result result = run_forked([] {
    // A text too large to copy under the limit set after it was built.
    size_t size = 64u << 20;
    char *text = static_cast<char *>(malloc(size));
    memset(text, 'y', size - 1);
    text[size - 1] = '\0';
    rlimit limit;
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = (size + (size / 2));
    setrlimit(RLIMIT_AS, &limit);
    xstrdup(text);
  });
  EXPECT_EQ(1, result.exit_status);
  std::string prefix = "failed to copy string '";
  ASSERT_EQ(0u, result.err.find(prefix)) << result.err.substr(0, 80);
  // The message is cut to 4095 bytes before the errno note.
  EXPECT_EQ(prefix + std::string(4095 - prefix.size(), 'y') + ": errno=12 (if applicable)\n",
            result.err);
#endif
}

}  // namespace
