// The watcher's only loop: every poll reads the whole status file afresh,
// reports against the array the previous poll left, and keeps the new one.
#ifndef SENTREL_WATCHER_POLLING_LOOP_H
#define SENTREL_WATCHER_POLLING_LOOP_H

#include "status/stats_array.h"
#include "watcher/report.h"
#include "watcher/watch_settings.h"

// Why the last poll could not open its source: 0 when it could, and before
// the first poll. A failure is named only when its reason is new, so a
// source that stays away costs one line on standard error, not one a poll.
struct source_failure {
  int reason = 0;
};

// One poll without its pause: reads the source, reports every entry against
// `*previous` (by the first-poll rule when it is none), flushes, and leaves
// the new reading in `*previous` (none when the source could not be opened,
// which is then named unless `*last_failure` already holds its reason).
void poll_once(const watch_settings &settings, report_layout layout, stats_array *previous,
               source_failure *last_failure);

// Polls forever; the process ends only when killed or through a fatal error.
[[noreturn]] void run_polling_loop(const watch_settings &settings);

#endif
