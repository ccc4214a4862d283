#include "watcher/entry_groups.h"

#include <cstring>

#include "status/stats_array.h"

namespace {

size_t length_of(const char *text) { return text != nullptr ? strlen(text) : 0; }

const uint32_t shared_group = 1;

uint32_t tag_of(uint64_t hash) { return static_cast<uint32_t>(hash >> 32) & ~shared_group; }

const char long_names_mark = 2;

char *encode_name(char *to, const char *name, size_t length) {
  *to++ = name != nullptr;
  if (name == nullptr) return to;
  memcpy(to, name, length + 1);
  return to + length + 1;
}

// Copies the names of a new group's key, whose first entry is `first`,
// into its slot, or, when they do not fit, into the long names.
void store_names(entry_groups *groups, group_slot *slot, const stats_entry &first) {
  bool both = groups->key == group_key::identity;
  const char *host = first.host_name, *service = first.service_description;
  size_t host_length = length_of(host);
  size_t service_length = both ? length_of(service) : 0;
  size_t size = (host != nullptr ? host_length + 2 : 1) +
                (!both ? 0 : service != nullptr ? service_length + 2 : 1);
  char *to = slot->names;
  if (size > sizeof slot->names) {
    size_t at = groups->long_names.size();
    slot->names[0] = long_names_mark;
    memcpy(slot->names + 1, &at, sizeof at);
    groups->long_names.resize(at + size);
    to = groups->long_names.data() + at;
  }
  to = encode_name(to, host, host_length);
  if (both) encode_name(to, service, service_length);
}

const char *names_of(const entry_groups &groups, const group_slot &slot) {
  if (slot.names[0] != long_names_mark) return slot.names;
  size_t at;
  memcpy(&at, slot.names + 1, sizeof at);
  return groups.long_names.data() + at;
}

// Whether the name copied at `*at` equals `name`; when it does, moves `*at`
// past it.
bool matches_copied_name(const char **at, const char *name) {
  const char *copy = *at;
  if (*copy++ == 0) {
    *at = copy;
    return name == nullptr;
  }
  if (name == nullptr || strcmp(copy, name) != 0) return false;
  *at = copy + strlen(copy) + 1;
  return true;
}

bool key_matches(const entry_groups &groups, const group_slot &slot, const char *host,
                 const char *service) {
  const char *at = names_of(groups, slot);
  if (!matches_copied_name(&at, host)) return false;
  return groups.key == group_key::host_name || matches_copied_name(&at, service);
}

// The slot that holds the group of (host, service), or the free slot where
// it would go. The table is never full, so a free slot exists.
size_t probe(const entry_groups &groups, uint64_t hash, const char *host, const char *service) {
  size_t size = groups.slots.size();
  uint32_t tag = tag_of(hash);
  for (size_t slot = home_index(groups, hash);; slot = slot + 1 == size ? 0 : slot + 1) {
    const group_slot &candidate = groups.slots[slot];
    if (candidate.first < 0) return slot;
    if ((candidate.tag & ~shared_group) == tag && key_matches(groups, candidate, host, service))
      return slot;
  }
}

// Lays the groups out one after another (a counting sort): each group's
// start, then its members in file order, each placed at its group's start,
// which moves on. The starts end up one group on, and are moved back.
void lay_out_groups(entry_groups *groups, int32_t group_count) {
  std::vector<int32_t> &starts = groups->starts;
  starts.assign(static_cast<size_t>(group_count) + 1, 0);
  for (int32_t i : groups->included)
    starts[static_cast<size_t>(groups->group_of[static_cast<size_t>(i)]) + 1]++;
  for (size_t g = 1; g < starts.size(); g++) starts[g] += starts[g - 1];
  groups->members.resize(groups->included.size());
  for (int32_t i : groups->included) {
    int32_t &start = starts[static_cast<size_t>(groups->group_of[static_cast<size_t>(i)])];
    groups->members[static_cast<size_t>(start++)] = i;
  }
  for (size_t g = starts.size() - 1; g > 0; g--) starts[g] = starts[g - 1];
  starts[0] = 0;
}

}  // namespace

uint64_t group_hash(group_key key, const char *host, const char *service) {
  return names_hash(host, key == group_key::identity ? service : nullptr);
}

void clear_entry_groups(entry_groups *groups) {
  groups->built = false;
  for (std::vector<int32_t> *part :
       {&groups->starts, &groups->members, &groups->included, &groups->group_of})
    part->clear();
  groups->slots.clear();
  groups->long_names.clear();
}

void build_entry_groups(stats_array *array, group_key key, bool (*include)(const stats_entry &),
                        entry_groups *groups) {
  clear_entry_groups(groups);
  groups->key = key;
  groups->built = true;
  const stats_entry *entries = array->entries;
  const entry_identity *identities = identities_of(array);
  std::vector<int32_t> &included = groups->included;
  for (int32_t i = 0; i < array->count; i++) {
    // Entries lie far apart, and slots land anywhere: asking for those some
    // entries ahead lets the memory waits overlap.
    if (include != nullptr && i + 8 < array->count) __builtin_prefetch(&entries[i + 8]);
    if (include == nullptr || include(entries[i])) included.push_back(i);
  }
  // A third of the slots stay free, which keeps the runs of taken slots
  // that a lookup passes short.
  groups->slots.assign(included.size() / 2 * 3 + 16, group_slot{});
  groups->group_of.assign(static_cast<size_t>(array->count > 0 ? array->count : 0), -1);

  // A group number for every included entry, in file order, so that each
  // group's members come out ascending.
  int32_t group_count = 0;
  for (size_t k = 0; k < included.size(); k++) {
    int32_t i = included[k];
    if (key == group_key::identity && k + 16 < included.size())
      __builtin_prefetch(&home_slot(*groups, identities[included[k + 16]].hash));
    const stats_entry &entry = entries[i];
    uint64_t hash = key == group_key::identity
                        ? identities[i].hash
                        : group_hash(key, entry.host_name, entry.service_description);
    group_slot &slot =
        groups->slots[probe(*groups, hash, entry.host_name, entry.service_description)];
    if (slot.first < 0) {
      slot.tag = tag_of(hash);
      slot.first = i;
      slot.first_state = {entry.current_state, entry.state_type};
      store_names(groups, &slot, entry);
      groups->group_of[static_cast<size_t>(i)] = group_count++;
    } else {
      slot.tag |= shared_group;
      groups->group_of[static_cast<size_t>(i)] = groups->group_of[static_cast<size_t>(slot.first)];
    }
  }
  // Groups of one entry are answered from their slots.
  if (static_cast<size_t>(group_count) < included.size()) lay_out_groups(groups, group_count);
}

index_span find_entry_group(const entry_groups &groups, uint64_t hash, const char *host,
                            const char *service) {
  index_span span;
  const group_slot &slot = groups.slots[probe(groups, hash, host, service)];
  if (slot.first < 0) return span;
  span.first_state = slot.first_state;
  if (!(slot.tag & shared_group)) {
    span.begin = &slot.first;
    span.end = span.begin + 1;
    return span;
  }
  size_t group = static_cast<size_t>(groups.group_of[static_cast<size_t>(slot.first)]);
  span.begin = groups.members.data() + groups.starts[group];
  span.end = groups.members.data() + groups.starts[group + 1];
  return span;
}
