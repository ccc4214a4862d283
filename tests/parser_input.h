// Feeds text to the status parsers through real descriptors and captures
// what they and the reports print, for the parser and watcher tests.
#ifndef SENTREL_TESTS_PARSER_INPUT_H
#define SENTREL_TESTS_PARSER_INPUT_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "status/stats_array.h"

// A text as the tests show it: "(null)" when it is missing.
inline std::string text_of(const char *text) { return text == nullptr ? "(null)" : text; }

using status_parser = std::function<void(int32_t, stats_array *)>;

// The outcome of one parse: the array as handed back and what went to
// standard output meanwhile.
struct parsed_status {
  stats_array array;
  stats_entry *&entries = array.entries;
  int32_t &count = array.count;
  std::string out;
  parsed_status() = default;
  parsed_status(const parsed_status &) = delete;
  parsed_status &operator=(const parsed_status &) = delete;
  ~parsed_status() { release_stats_array(&array); }
};

// Runs `parser` over `text` written to an unlinked temporary file, or, with
// `through_pipe`, written by a child process into a pipe.
void parse_text(const status_parser &parser, const std::string &text, parsed_status *result,
                bool through_pipe = false);

// What `print` wrote to standard output, through a real file descriptor.
template <typename Print>
std::string captured_stdout(Print print) {
  fflush(stdout);
  FILE *capture = tmpfile();
  int saved = dup(STDOUT_FILENO);
  dup2(fileno(capture), STDOUT_FILENO);
  print();
  fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string text;
  rewind(capture);
  for (int c; (c = fgetc(capture)) != EOF;) text += static_cast<char>(c);
  fclose(capture);
  return text;
}

#endif
