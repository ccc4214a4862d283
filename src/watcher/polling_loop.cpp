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

// How long a connection may send nothing before its transfer counts as
// broken: the poll interval, but never so short that a busy peer is cut off.
int32_t deadline_seconds(int32_t poll_interval) { return poll_interval > 10 ? poll_interval : 10; }

// Reads one poll's array from the source into `current`; false when the
// source could not be opened. errno tells why it could not, or why a
// transfer broke off.
bool read_status(const watch_settings &settings, stats_array *current, reading_end *end) {
  int32_t fd = open_status_source(settings.status_source, settings.source_is_file,
                                  deadline_seconds(settings.poll_interval));
  if (fd < 0) return false;
  *end = settings.status_dat_format ? parse_status_dat(fd, current)
                                    : parse_status_log(fd, current);
  int reason = errno;
  close(fd);
  errno = reason;
  return true;
}

const char *reason_text(int reason) {
  return reason == name_server_unavailable ? "Temporary failure in name resolution"
                                           : strerror(reason);
}

// Without these lines a wrong path, port or format would look like a quiet
// network: nothing is reported because nothing is ever read.
void name_reason(const watch_settings &settings, int reason, watch_state *state) {
  if (reason != no_reason && reason != state->last_reason) {
    const char *source = settings.status_source;
    if (reason != nothing_to_watch)
      fprintf(stderr, settings.source_is_file ? "cannot open status file %s: %s\n"
                                              : "cannot connect to %s: %s\n",
              source, reason_text(reason));
    else if (settings.source_is_file)
      fprintf(stderr, "status file %s holds no host or service\n", source);
    else
      fprintf(stderr, "%s sent no host or service\n", source);
  }
  state->last_reason = reason;
}

void name_broken_transfer(const watch_settings &settings, int reason) {
  if (reason == EAGAIN || reason == EWOULDBLOCK)
    fprintf(stderr, "transfer from %s broken: nothing received for %d s: poll skipped\n",
            settings.status_source, deadline_seconds(settings.poll_interval));
  else
    fprintf(stderr, "transfer from %s broken: %s: poll skipped\n", settings.status_source,
            strerror(reason));
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

void poll_once(const watch_settings &settings, report_layout layout, watch_state *state) {
  stats_array *current = &state->spare;
  if (settings.verbose) print_poll_start();
  reading_end end;
  bool opened = read_status(settings, current, &end);
  int reason = errno;
  if (!opened) {
    name_reason(settings, reason, state);
    clear_stats_array(&state->previous);  // a gap: the next reading is a first poll's
    return;
  }
  if (end == reading_end::complete) {
    name_reason(settings, current->count > 0 ? no_reason : nothing_to_watch, state);
    report_changes(settings, layout, current, &state->previous);
  } else if (end == reading_end::cut_short) {
    fputs("status file ended inside a block: poll skipped\n", stderr);
  } else {
    name_broken_transfer(settings, reason);
  }
  check_reports_written(fflush(nullptr) == 0);
  // The entries after a cut are missing, not gone: against such a reading
  // the next poll would report each of them as new. It compares with the
  // last whole reading instead.
  if (end != reading_end::complete) return;
  std::swap(state->previous, state->spare);
}

void run_polling_loop(const watch_settings &settings) {
  report_layout layout =
      settings.one_line ? report_layout::one_line : report_layout::two_lines;
  watch_state state;
  for (;;) {
    poll_once(settings, layout, &state);
    sleep(pause_seconds(settings.poll_interval));
  }
}
