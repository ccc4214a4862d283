// The output of a watcher taken apart: its lines, and its polls, each of
// which begins with the "Checking @" line that -v prints, showing when it
// began in ctime's form.
#ifndef SENTREL_TESTS_POLL_OUTPUT_H
#define SENTREL_TESTS_POLL_OUTPUT_H

#include <ctime>
#include <string>
#include <vector>

// The lines of `text`, without their line feeds.
std::vector<std::string> lines_of(const std::string &text);

// The output cut into polls at its "Checking @" lines, which are left out;
// what comes before the first one is a poll of its own.
std::vector<std::string> output_by_poll(const std::string &out);

// When the last poll in `out` began (the watchers run with TZ=UTC); 0 when
// no whole "Checking @" line tells.
time_t last_poll_start(const std::string &out);

// `out` with each "Checking @" line that shows a time in ctime's form
// written as checking_line.
std::string with_checking_times_masked(const std::string &out);
extern const char checking_line[];  // "Checking @ TIME\n"

// The reports in `out`: its whole lines (a poll that was stopped may leave
// one unfinished) but the "Checking @" lines.
std::string reports_in(const std::string &out);

#endif
