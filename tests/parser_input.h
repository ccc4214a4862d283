// Feeds text to the status parsers through real descriptors and captures
// what they print, for the parser tests.
#ifndef SENTREL_TESTS_PARSER_INPUT_H
#define SENTREL_TESTS_PARSER_INPUT_H

#include <cstdint>
#include <string>

#include "status/stats_array.h"

// A text as the tests show it: "(null)" when it is missing.
inline std::string text_of(const char *text) { return text == nullptr ? "(null)" : text; }

using status_parser = void (*)(int32_t, stats_array *);

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
void parse_text(status_parser parser, const std::string &text, parsed_status *result,
                bool through_pipe = false);

#endif
