// What the watcher's decisions build from one array's entries to look them
// up by, the first time each is needed; kept with the array and emptied
// with it.
#ifndef SENTREL_WATCHER_LOOKUP_ENTRY_LOOKUP_H
#define SENTREL_WATCHER_LOOKUP_ENTRY_LOOKUP_H

#include <cstdint>

#include "watcher/lookup/entry_groups.h"

struct stats_array;

struct entry_lookup {
  entry_groups by_identity;  // every entry, by host and service
  // Whether the last lookup found its entry where an unchanged file order
  // puts it; while it does not, lookups go straight to by_identity.
  bool in_file_order = true;
  entry_groups down_hosts;  // the host entries that mask their services
  bool downtimes_ordered = false;  // the array's downtimes, by their hash
};

// Empties the lookup, keeping its memory for the next array.
void clear_entry_lookup(entry_lookup *lookup);

// Whether one of the file's downtimes names the entry at `index` and spans
// its last_update, whatever depth the entry reads: Nagios 4 writes its first
// status file after a start before it restores its downtimes.
bool has_downtime_in_effect(stats_array *array, int32_t index);

#endif
