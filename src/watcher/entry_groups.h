// Entries of one array grouped by their names, for the watcher's lookups that
// must give the same answer as a walk over the array but cannot afford one
// per entry. A group holds the indices of the entries that share a key,
// ascending.
#ifndef SENTREL_WATCHER_ENTRY_GROUPS_H
#define SENTREL_WATCHER_ENTRY_GROUPS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "status/stats_entry.h"

struct stats_array;

// The state of an entry as a later poll's change rule reads it.
struct entry_state {
  int32_t current_state;
  int32_t state_type;
};

// What makes two entries one group. Names compare byte for byte, and a
// missing name equals only another missing one.
enum class group_key {
  identity,   // host_name and service_description
  host_name,  // host_name alone
};

// A slot of the hash table, one cache line: a lookup lands on one slot and
// mostly reads it alone, a group of one entry answered from it.
struct alignas(64) group_slot {
  uint32_t tag = 0;                  // high hash bits; the lowest bit: a group of more than one
  int32_t first = -1;                // the group's first entry index; -1 for a free slot
  entry_state first_state = {0, 0};  // that entry's state
  // The key's names, each as a byte saying whether it is present and, if
  // so, its text with its NUL. Names too long for the slot are in
  // `long_names`; here is then a byte 2 and where they start there.
  char names[48] = {};
};

struct entry_groups {
  bool built = false;
  group_key key = group_key::identity;
  std::vector<group_slot> slots;
  std::vector<char> long_names;
  // Only groups of more than one entry are laid out: group g is
  // members[starts[g]] up to members[starts[g + 1]].
  std::vector<int32_t> starts;
  std::vector<int32_t> members;   // entry indices, group after group
  std::vector<int32_t> group_of;  // each entry's group number, -1 when not included
  // Working space of the build, kept with the rest so that a later build
  // into the same groups reuses all of their memory.
  std::vector<int32_t> included;
};

// Empties the groups, keeping their memory for the next build.
void clear_entry_groups(entry_groups *groups);

// The ascending entry indices of one group, empty when begin == end, and
// the state of the first of them.
struct index_span {
  const int32_t *begin = nullptr;
  const int32_t *end = nullptr;
  entry_state first_state = {0, 0};
};

// Groups the entries of `array` by `key`: all of them when `include` is
// null, else those it holds for.
void build_entry_groups(stats_array *array, group_key key, bool (*include)(const stats_entry &),
                        entry_groups *groups);

// The hash a group of `key` is found by: names_hash of its names, the
// service's as missing for a host_name key.
uint64_t group_hash(group_key key, const char *host, const char *service);

// The group of the entries named `host` (and `service`, for an identity
// key), whose group_hash is `hash`.
index_span find_entry_group(const entry_groups &groups, uint64_t hash, const char *host,
                            const char *service);

// The index of the slot where a key of this hash is looked for first: the
// low 32 bits of the hash scaled to the table's size.
inline size_t home_index(const entry_groups &groups, uint64_t hash) {
  return static_cast<size_t>(((hash & UINT32_MAX) * groups.slots.size()) >> 32);
}

// That slot: the place to ask the memory for before the lookup itself.
inline const group_slot &home_slot(const entry_groups &groups, uint64_t hash) {
  return groups.slots[home_index(groups, hash)];
}

// What the watcher builds from an array's entries the first time it needs
// it, kept with the array.
struct entry_lookup {
  entry_groups by_identity;  // every entry, by host and service
  // Whether the last lookup found its entry where an unchanged file order
  // puts it; while it does not, lookups go straight to by_identity.
  bool in_file_order = true;
  entry_groups down_hosts;  // the host entries that mask their services
  bool downtimes_ordered = false;  // the array's downtimes, by their hash
};

// Empties the lookup, keeping its memory for the next array.
inline void clear_entry_lookup(entry_lookup *lookup) {
  clear_entry_groups(&lookup->by_identity);
  clear_entry_groups(&lookup->down_hosts);
  lookup->in_file_order = true;
  lookup->downtimes_ordered = false;
}

#endif
