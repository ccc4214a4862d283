#include "status/entry_groups.h"

#include <cstring>

namespace {

// FNV-1a over the text, with a missing text hashed apart from an empty one.
uint64_t hash_text(uint64_t hash, const char *text) {
  const uint64_t prime = 1099511628211u;
  if (text == nullptr) return (hash ^ 0x100u) * prime;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++)
    hash = (hash ^ *p) * prime;
  return (hash ^ 0x200u) * prime;
}

uint64_t hash_key(group_key key, const char *host, const char *service) {
  uint64_t hash = hash_text(14695981039346656037u, host);
  if (key == group_key::identity) hash = hash_text(hash, service);
  return hash ^ (hash >> 29);
}

bool same_key(group_key key, const stats_entry &entry, const char *host, const char *service) {
  if (!same_text(entry.host_name, host)) return false;
  return key == group_key::host_name || same_text(entry.service_description, service);
}

// The slot that holds the group of (host, service), or the free slot where
// it would go. The table is never more than half full, so a free slot exists.
template <typename first_member_of>
size_t probe(const entry_groups &groups, const stats_entry *entries,
             first_member_of first_member, const char *host, const char *service) {
  size_t mask = groups.slots.size() - 1;
  size_t slot = static_cast<size_t>(hash_key(groups.key, host, service)) & mask;
  for (;; slot = (slot + 1) & mask) {
    int32_t group = groups.slots[slot] - 1;
    if (group < 0 || same_key(groups.key, entries[first_member(group)], host, service))
      return slot;
  }
}

}  // namespace

void build_entry_groups(const stats_entry *entries, int32_t count, group_key key,
                        bool (*include)(const stats_entry &), entry_groups *groups) {
  *groups = entry_groups{};
  groups->key = key;
  groups->built = true;
  uint64_t size = 16;
  while (size < UINT64_C(2) * static_cast<uint64_t>(count > 0 ? count : 0)) size *= 2;
  groups->slots.assign(static_cast<size_t>(size), 0);

  // First pass: a group number for every included entry, in file order, so
  // that each group's members come out ascending.
  std::vector<int32_t> first_of_group;
  std::vector<int32_t> group_of(static_cast<size_t>(count > 0 ? count : 0), -1);
  for (int32_t i = 0; i < count; i++) {
    const stats_entry &entry = entries[i];
    if (!include(entry)) continue;
    size_t slot = probe(
        *groups, entries, [&](int32_t group) { return first_of_group[static_cast<size_t>(group)]; },
        entry.host_name, entry.service_description);
    if (groups->slots[slot] == 0) {
      first_of_group.push_back(i);
      groups->slots[slot] = static_cast<int32_t>(first_of_group.size());
    }
    group_of[static_cast<size_t>(i)] = groups->slots[slot] - 1;
  }

  // Second pass: lay the groups out one after another (a counting sort).
  groups->starts.assign(first_of_group.size() + 1, 0);
  for (int32_t group : group_of)
    if (group >= 0) groups->starts[static_cast<size_t>(group) + 1]++;
  for (size_t g = 1; g < groups->starts.size(); g++) groups->starts[g] += groups->starts[g - 1];
  groups->members.resize(static_cast<size_t>(groups->starts.back()));
  std::vector<int32_t> filled(groups->starts.begin(), groups->starts.end() - 1);
  for (int32_t i = 0; i < count; i++) {
    int32_t group = group_of[static_cast<size_t>(i)];
    if (group >= 0) groups->members[static_cast<size_t>(filled[static_cast<size_t>(group)]++)] = i;
  }
}

index_span find_entry_group(const entry_groups &groups, const stats_entry *entries,
                            const char *host, const char *service) {
  index_span span;
  if (groups.members.empty()) return span;
  auto first_member = [&](int32_t group) {
    return groups.members[static_cast<size_t>(groups.starts[static_cast<size_t>(group)])];
  };
  int32_t group = groups.slots[probe(groups, entries, first_member, host, service)] - 1;
  if (group < 0) return span;
  span.begin = groups.members.data() + groups.starts[static_cast<size_t>(group)];
  span.end = groups.members.data() + groups.starts[static_cast<size_t>(group) + 1];
  return span;
}
