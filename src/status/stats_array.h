// One poll's reading of the status file: its entries in file order and the
// groupings the watcher looks them up by, built the first time each is
// needed and dropped with the array.
#ifndef SENTREL_STATUS_STATS_ARRAY_H
#define SENTREL_STATUS_STATS_ARRAY_H

#include <cstdint>
#include <vector>

#include "status/entry_groups.h"
#include "status/stats_entry.h"
#include "status/text_arena.h"

// A downtime that the status file lists for a host or a service, as the
// time it is in effect: from `from` up to, not including, `until`.
struct downtime_span {
  uint64_t hash;  // hash_of_names of its identity
  const char *host;
  const char *service;  // null for a host's downtime
  int64_t from;
  int64_t until;
};

struct stats_array {
  // Null when the parser allocated nothing, which makes the next poll a
  // first poll; an allocated array may still hold no entry.
  stats_entry *entries = nullptr;
  int32_t count = 0;
  int32_t allocated = 0;     // entries the block has room for
  text_arena texts;          // every text of the entries
  // Each entry's identity, recorded as the parser counted it, or by
  // identities_of for an array made otherwise.
  std::vector<entry_identity> identities;
  entry_groups by_identity;  // every entry, by host and service
  // Whether the last lookup found its entry where an unchanged file order
  // puts it; while it does not, lookups go straight to by_identity.
  bool in_file_order = true;
  entry_groups down_hosts;   // the host entries that mask their services
  // The file's downtimes, ordered by their hash once the parser is done.
  std::vector<downtime_span> downtimes;
};

// Whether the array was read at all (an allocated array with no entry was).
inline bool is_none(const stats_array &array) { return array.entries == nullptr; }

// Makes room for at least `capacity` entries, asking xrealloc for exactly
// that many (under the label "stats array") unless the block already has
// room. A none array first takes the block of the last released array when
// that is large enough: a large site would otherwise map and fault in a
// fresh block of the same size on every poll.
void reserve_entries(stats_array *array, int64_t capacity);

// Asks the memory for the entry `ahead` slots past the count, when the
// block has room for it, so that its lines are at hand once a parser comes
// to fill it: the block is far larger than any cache, and the lines parsed
// in between hide the wait.
inline void warm_entry_ahead(const stats_array &array, int32_t ahead) {
  if (array.count >= array.allocated - ahead) return;
  const char *entry = reinterpret_cast<const char *>(array.entries + array.count + ahead);
  for (size_t line = 0; line < sizeof(stats_entry); line += 64) __builtin_prefetch(entry + line, 1);
}

// Records the identity of the entry just counted, the last one, whose
// names have the hash_of_names `identity_hash`.
void note_entry(stats_array *array, uint64_t identity_hash);

// Records the identity of every entry from the entries, in place of those
// recorded before.
void record_identities(stats_array *array);

// The identity of every entry, recorded from the entries first when the
// array holds a count of them other than its count. Inline, as a later poll
// asks for them twice an entry.
inline const entry_identity *identities_of(stats_array *array) {
  if (array->identities.size() != static_cast<size_t>(array->count)) record_identities(array);
  return array->identities.data();
}

// Records a downtime of the file; order_downtimes must follow the last.
void add_downtime(stats_array *array, const downtime_span &downtime);
void order_downtimes(stats_array *array);

// Whether one of the file's downtimes names the entry at `index` and spans
// its last_update, whatever depth the entry reads. Nagios 4 writes its first
// status file after a start before it puts its kept downtimes back into
// effect, so for about a second every host and service in downtime reads
// depth 0 there.
bool has_downtime_in_effect(stats_array *array, int32_t index);

// Releases the entries, their texts and the groupings, leaving the array
// none; a none array stays none. Its memory (the entry block and the room
// of its hashes and groupings) is kept for the next array, in place of what
// was kept before.
void release_stats_array(stats_array *array);

#endif
