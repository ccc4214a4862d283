// One poll's reading of the status file: its entries in file order and the
// groupings the watcher looks them up by, built the first time each is
// needed and dropped with the array.
#ifndef SENTREL_STATUS_STATS_ARRAY_H
#define SENTREL_STATUS_STATS_ARRAY_H

#include <cstdint>

#include "status/entry_groups.h"
#include "status/stats_entry.h"
#include "status/text_arena.h"

struct stats_array {
  // Null when the parser allocated nothing, which makes the next poll a
  // first poll; an allocated array may still hold no entry.
  stats_entry *entries = nullptr;
  int32_t count = 0;
  text_arena texts;          // every text of the entries
  entry_groups by_identity;  // every entry, by host and service
  entry_groups down_hosts;   // the host entries that mask their services
};

// Whether the array was read at all (an allocated array with no entry was).
inline bool is_none(const stats_array &array) { return array.entries == nullptr; }

// Releases the entries, their texts and the groupings, leaving the array
// none; a none array stays none.
void release_stats_array(stats_array *array);

#endif
