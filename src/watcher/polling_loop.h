// The watcher's only loop: every poll reads the whole status file afresh,
// reports against the array the previous poll left, and keeps the new one.
#ifndef SENTREL_WATCHER_POLLING_LOOP_H
#define SENTREL_WATCHER_POLLING_LOOP_H

#include "status/stats_array.h"
#include "watcher/report.h"
#include "watcher/watch_settings.h"

// Why a poll had nothing to watch: an errno of opening the source (such as
// name_server_unavailable), or one of these.
enum : int {
  no_reason = 0,          // the source gave at least one host or service
  nothing_to_watch = -2,  // it gave a whole reading without any
};

// What one poll leaves for the next.
struct watch_state {
  stats_array previous;  // the last reading; unread before one, or after a gap
  stats_array spare;     // the older reading's memory, for the next reading
  // The reason of the last poll that had one to give (not of a poll cut
  // short or broken off). It is named only when it differs from the one
  // before, so a source that stays away costs one line, not one a poll.
  int last_reason = no_reason;
};

// One poll without its pause: reads the source, reports every entry against
// the previous reading (by the first-poll rule when it was not read),
// flushes, and keeps the new reading. A source that cannot be opened leaves
// the previous one unread; a
// reading cut short or broken off reports nothing and keeps the previous
// one. Each of these, and a reading without hosts or services, is named on
// standard error.
void poll_once(const watch_settings &settings, report_layout layout, watch_state *state);

// Polls forever; the process ends only when killed or through a fatal error.
[[noreturn]] void run_polling_loop(const watch_settings &settings);

#endif
