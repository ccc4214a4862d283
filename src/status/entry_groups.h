// Entries of one array grouped by their names, for lookups that must give the
// same answer as a walk over the array but cannot afford one per entry. A
// group holds the indices of the entries that share a key, ascending.
#ifndef SENTREL_STATUS_ENTRY_GROUPS_H
#define SENTREL_STATUS_ENTRY_GROUPS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "status/stats_entry.h"

// What makes two entries one group. Names compare byte for byte, and a
// missing name equals only another missing one.
enum class group_key {
  identity,   // host_name and service_description
  host_name,  // host_name alone
};

// A slot of the hash table. The tag (part of the key's hash) passes over
// most slots of other keys, a key is compared with the group's own copy of
// its names rather than with an entry, and a group of one entry, the usual
// case, is answered from the slot alone: a lookup in a reordered file reads
// a few compact places instead of the entries spread over the array.
struct group_slot {
  uint32_t tag = 0;     // high hash bits; the lowest bit marks a group of more than one
  int32_t first = -1;   // the group's first entry index; -1 for a free slot
  size_t record = 0;    // where the group's names are in `names`
};

struct entry_groups {
  bool built = false;
  group_key key = group_key::identity;
  std::vector<group_slot> slots;
  std::vector<int32_t> starts;   // group g is members[starts[g]] up to members[starts[g + 1]]
  std::vector<int32_t> members;  // entry indices, group after group
  std::vector<int32_t> group_of;  // each entry's group number, -1 when not included
  // Each group's names, one group after another: each name as a byte
  // saying whether it is present and, if so, its text with its NUL.
  std::vector<char> names;
  // Working space of the build, kept with the rest so that a later build
  // into the same groups reuses all of their memory.
  std::vector<int32_t> included;
};

// Empties the groups, keeping their memory for the next build.
void clear_entry_groups(entry_groups *groups);

// The ascending entry indices of one group; empty when begin == end.
struct index_span {
  const int32_t *begin = nullptr;
  const int32_t *end = nullptr;
};

// The hash of the names that make up `key`; equal names hash alike.
uint64_t hash_of_names(group_key key, const char *host, const char *service);

// Groups the first `count` entries for which `include` holds by `key`.
// `hashes`, when not null, holds each entry's hash_of_names for `key`,
// which spares reading every entry again.
void build_entry_groups(const stats_entry *entries, int32_t count, group_key key,
                        bool (*include)(const stats_entry &), const uint64_t *hashes,
                        entry_groups *groups);

// The group of the entries named `host` (and `service`, for an identity
// key), whose hash_of_names is `hash`.
index_span find_entry_group(const entry_groups &groups, uint64_t hash, const char *host,
                            const char *service);

// The slot where a key of this hash is looked for first: the place to ask
// the memory for before the lookup itself.
inline const group_slot &home_slot(const entry_groups &groups, uint64_t hash) {
  return groups.slots[static_cast<size_t>(hash) & (groups.slots.size() - 1)];
}

#endif
