// The watcher's only loop: every poll reads the whole status file afresh,
// reports against the array the previous poll left, and keeps the new one.
#ifndef SENTREL_WATCHER_POLLING_LOOP_H
#define SENTREL_WATCHER_POLLING_LOOP_H

#include "watcher/watch_settings.h"

// Polls forever; the process ends only when killed or through a fatal error.
[[noreturn]] void run_polling_loop(const watch_settings &settings);

#endif
