// One poll's reading of the status file: its entries in file order, their
// texts, the hash of each entry's names and the downtimes the file lists.
#ifndef SENTREL_STATUS_STATS_ARRAY_H
#define SENTREL_STATUS_STATS_ARRAY_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "status/stats_entry.h"
#include "status/text_arena.h"
#include "watcher/entry_groups.h"

// A downtime that the status file lists for a host or a service, as the
// time it is in effect: from `from` up to, not including, `until`.
struct downtime_span {
  uint64_t hash;  // names_hash of its names
  const char *host;
  const char *service;  // null for a host's downtime
  int64_t from;
  int64_t until;
};

// What a later poll's lookup reads of an entry, dense beside the entries,
// which are large and far apart: one small record a lookup.
struct entry_identity {
  uint64_t hash;  // names_hash of its names
  const char *host;
  const char *service;
  int32_t current_state;
  int32_t state_type;
};

struct stats_array {
  stats_entry *entries = nullptr;  // room for `allocated`, kept when the array is cleared
  int32_t count = 0;
  int32_t allocated = 0;
  // Whether a parser made room for an entry, which makes the next poll
  // compare with this one; an array that was read may hold no entry.
  bool read = false;
  text_arena texts;  // every text of the entries
  // The identity of each counted entry, its names hashed while the parser
  // has them at hand: the watcher looks entries up by it.
  std::vector<entry_identity> identities;
  std::vector<downtime_span> downtimes;
  entry_lookup lookup;  // what the watcher builds to look entries up by
};

// Whether the array was read at all (an allocated array with no entry was).
inline bool was_read(const stats_array &array) { return array.read; }

// Grows the block for one more entry: it doubles from 128 entries (xrealloc,
// "stats array") up to the most whose byte size fits the signed 32-bit sizes
// the wrappers take; one more then fails as an exact fit would.
void grow_entries(stats_array *array);

// Makes room for an entry at the count. Inline, as every block or line asks.
inline void make_room_for_entry(stats_array *array) {
  array->read = true;
  if (array->count >= array->allocated) grow_entries(array);
}

// Asks the memory for the entry `ahead` slots past the count, when the
// block has room for it, so that its lines are at hand once a parser fills it.
inline void prefetch_entry_ahead(const stats_array &array, int32_t ahead) {
  if (array.count >= array.allocated - ahead) return;
  const char *entry = reinterpret_cast<const char *>(array.entries + array.count + ahead);
  for (size_t line = 0; line < sizeof(stats_entry); line += 64) __builtin_prefetch(entry + line, 1);
}

// The hash of an entry's names; a missing name differs from an empty one.
uint64_t names_hash(const char *host, const char *service);

// names_hash of names of known lengths that lie in a parser's line, which
// can be read eight bytes past their ends.
uint64_t line_names_hash(const char *host, size_t host_length, const char *service,
                         size_t service_length);

// Counts the entry at the count, whole now, whose names have `hash`.
inline void count_entry(stats_array *array, uint64_t hash) {
  const stats_entry &entry = array->entries[array->count++];
  array->identities.push_back({hash, entry.host_name, entry.service_description,
                               entry.current_state, entry.state_type});
}

// Counts every entry afresh, for an array whose entries were set otherwise.
void recount_entries(stats_array *array);

// The identity of every entry, recorded from the entries first for an array
// that was not counted by count_entry. Inline, as lookups ask twice an entry.
inline const entry_identity *identities_of(stats_array *array) {
  if (array->identities.size() != static_cast<size_t>(array->count)) recount_entries(array);
  return array->identities.data();
}

// Empties the array for the next reading, keeping its memory.
void clear_stats_array(stats_array *array);

// Frees the entries, their texts and everything kept with them, leaving
// the array unread; an unread array stays so.
void release_stats_array(stats_array *array);

#endif
