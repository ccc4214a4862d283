#include "watcher/polling_loop.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

#include <utility>

#include "input/status_source.h"
#include "parsers/status_dat.h"
#include "parsers/status_log.h"
#include "support/fatal.h"
#include "watcher/report.h"

namespace {

void print_poll_start() {
  time_t now = time(nullptr);
  // ctime's text already ends in a line feed; it has none for a clock it
  // cannot render.
  const char *text = ctime(&now);
  printf("Checking @ %s", text ? text : "?\n");
}

// Reads one poll's array from the source; false, errno telling why, when it
// could not be opened.
bool read_status(const watch_settings &settings, stats_array *current) {
  int32_t fd = open_status_source(settings.status_source, settings.source_is_file);
  if (fd < 0) return false;
  if (settings.status_dat_format)
    parse_status_dat(fd, current);
  else
    parse_status_log(fd, current);
  close(fd);
  return true;
}

// Without this line a wrong path or port would look like a quiet network:
// nothing is reported because nothing is ever read.
void name_source_failure(const watch_settings &settings, int reason,
                         source_failure *last_failure) {
  if (reason != last_failure->reason) {
    if (settings.source_is_file)
      fprintf(stderr, "cannot open status file %s: %s\n", settings.status_source, strerror(reason));
    else
      fprintf(stderr, "cannot connect to %s: %s\n", settings.status_source, strerror(reason));
  }
  last_failure->reason = reason;
}

void report_changes(const watch_settings &settings, report_layout layout,
                    stats_array *current, stats_array *previous) {
  for (int32_t i = 0; i < current->count; i++)
    report_entry(current, i, previous, settings.hard_only, layout);
}

// A report that could not be written is lost for good: on a full disk or a
// closed descriptor, polling on would pass for a quiet network. A reader
// that went away ends the process by SIGPIPE before this is reached, unless
// the signal was ignored when sentrel started.
void check_reports_written(bool flushed) {
  if (!flushed || ferror(stdout))
    fatal("failed to write the reports to standard output");
}

// A negative interval would be taken as an unsigned count by sleep, a pause
// of many decades; it is taken as no pause instead.
unsigned pause_seconds(int32_t poll_interval) {
  return poll_interval > 0 ? static_cast<unsigned>(poll_interval) : 0u;
}

}  // namespace

void poll_once(const watch_settings &settings, report_layout layout, stats_array *previous,
               source_failure *last_failure) {
  stats_array current;
  if (settings.verbose) print_poll_start();
  if (read_status(settings, &current)) {
    last_failure->reason = 0;
    report_changes(settings, layout, &current, previous);
    check_reports_written(fflush(nullptr) == 0);
  } else {
    name_source_failure(settings, errno, last_failure);
  }
  release_stats_array(previous);
  *previous = std::move(current);
}

void run_polling_loop(const watch_settings &settings) {
  report_layout layout =
      settings.one_line ? report_layout::one_line : report_layout::two_lines;
  stats_array previous;
  source_failure last_failure;
  for (;;) {
    poll_once(settings, layout, &previous, &last_failure);
    sleep(pause_seconds(settings.poll_interval));
  }
}
