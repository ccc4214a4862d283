// Entries of one array grouped by their names, for lookups that must give the
// same answer as a walk over the array but cannot afford one per entry. A
// group holds the indices of the entries that share a key, ascending.
#ifndef SENTREL_STATUS_ENTRY_GROUPS_H
#define SENTREL_STATUS_ENTRY_GROUPS_H

#include <cstdint>
#include <vector>

#include "status/stats_entry.h"

// What makes two entries one group. Names compare byte for byte, and a
// missing name equals only another missing one.
enum class group_key {
  identity,   // host_name and service_description
  host_name,  // host_name alone
};

struct entry_groups {
  bool built = false;
  group_key key = group_key::identity;
  std::vector<int32_t> slots;    // hash table of group numbers plus one; 0 is free
  std::vector<int32_t> starts;   // group g is members[starts[g]] up to members[starts[g + 1]]
  std::vector<int32_t> members;  // entry indices, group after group
};

// The ascending entry indices of one group; empty when begin == end.
struct index_span {
  const int32_t *begin = nullptr;
  const int32_t *end = nullptr;
};

// Groups the first `count` entries for which `include` holds by `key`.
void build_entry_groups(const stats_entry *entries, int32_t count, group_key key,
                        bool (*include)(const stats_entry &), entry_groups *groups);

// The group of the entries named `host` (and `service`, for an identity
// key) in the array the groups were built from.
index_span find_entry_group(const entry_groups &groups, const stats_entry *entries,
                            const char *host, const char *service);

#endif
