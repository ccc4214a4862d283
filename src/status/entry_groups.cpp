#include "status/entry_groups.h"

#include <cstring>

#include "support/numbers.h"

namespace {

uint64_t mix(uint64_t hash, uint64_t word) {
  hash = (hash ^ word) * 0x9e3779b97f4a7c15u;
  return hash ^ (hash >> 32);
}

// The `length` bytes of a text eight at a time, then its length, so that a
// missing text (hashed as a length no text has) differs from an empty one.
// A `padded` text can be read eight bytes past its end, so its last bytes
// are one read as well.
uint64_t hash_text(uint64_t hash, const char *text, size_t length, bool padded) {
  if (text == nullptr) return mix(hash, UINT64_MAX);
  size_t at = 0;
  for (; at + 8 <= length; at += 8) hash = mix(hash, little_endian_word(text + at));
  size_t rest = length - at;
  uint64_t tail = 0;
  if (padded && rest > 0)
    tail = little_endian_word(text + at) & (UINT64_MAX >> (64 - 8 * rest));
  else
    for (size_t i = 0; i < rest; i++)
      tail |= static_cast<uint64_t>(static_cast<unsigned char>(text[at + i])) << (8 * i);
  return mix(mix(hash, tail), length);
}

size_t length_of(const char *text) { return text != nullptr ? strlen(text) : 0; }

const uint32_t shared_group = 1;

uint32_t tag_of(uint64_t hash) { return static_cast<uint32_t>(hash >> 32) & ~shared_group; }

uint64_t key_hash(group_key key, const entry_identity &identity) {
  return key == group_key::identity ? identity.hash
                                    : hash_of_names(key, identity.host, nullptr);
}

const char long_names_mark = 2;

char *encode_name(char *to, const char *name, size_t length) {
  *to++ = name != nullptr;
  if (name == nullptr) return to;
  memcpy(to, name, length + 1);
  return to + length + 1;
}

// Copies the names of a new group's key, whose first entry is `first`,
// into its slot, or, when they do not fit, into the long names.
void store_names(entry_groups *groups, group_slot *slot, const entry_identity &first) {
  bool both = groups->key == group_key::identity;
  size_t host_length = length_of(first.host);
  size_t service_length = both ? length_of(first.service) : 0;
  size_t size = (first.host != nullptr ? host_length + 2 : 1) +
                (!both ? 0 : first.service != nullptr ? service_length + 2 : 1);
  char *to = slot->names;
  if (size > sizeof slot->names) {
    size_t at = groups->long_names.size();
    slot->names[0] = long_names_mark;
    memcpy(slot->names + 1, &at, sizeof at);
    groups->long_names.resize(at + size);
    to = groups->long_names.data() + at;
  }
  to = encode_name(to, first.host, host_length);
  if (both) encode_name(to, first.service, service_length);
}

const char *names_of(const entry_groups &groups, const group_slot &slot) {
  if (slot.names[0] != long_names_mark) return slot.names;
  size_t at;
  memcpy(&at, slot.names + 1, sizeof at);
  return groups.long_names.data() + at;
}

// Whether the name copied at `*at` equals `name`; when it does, moves `*at`
// past it.
bool same_name(const char **at, const char *name) {
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
  if (!same_name(&at, host)) return false;
  return groups.key == group_key::host_name || same_name(&at, service);
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

uint64_t hash_of_names(group_key key, const char *host, const char *service) {
  uint64_t hash = hash_text(0, host, length_of(host), false);
  if (key == group_key::identity) hash = hash_text(hash, service, length_of(service), false);
  return hash;
}

uint64_t hash_of_line_names(const char *host, size_t host_length, const char *service,
                            size_t service_length) {
  return hash_text(hash_text(0, host, host_length, true), service, service_length, true);
}

void clear_entry_groups(entry_groups *groups) {
  groups->built = false;
  for (std::vector<int32_t> *part :
       {&groups->starts, &groups->members, &groups->included, &groups->group_of})
    part->clear();
  groups->slots.clear();
  groups->long_names.clear();
}

void build_entry_groups(const entry_identity *identities, int32_t count, group_key key,
                        bool (*include)(const entry_identity &),
                        entry_groups *groups) {
  clear_entry_groups(groups);
  groups->key = key;
  groups->built = true;
  std::vector<int32_t> &included = groups->included;
  for (int32_t i = 0; i < count; i++)
    if (include == nullptr || include(identities[i])) included.push_back(i);
  // A third of the slots stay free, which keeps the runs of taken slots
  // that a lookup passes short.
  groups->slots.assign(included.size() / 2 * 3 + 16, group_slot{});
  groups->group_of.assign(static_cast<size_t>(count > 0 ? count : 0), -1);

  // A group number for every included entry, in file order, so that each
  // group's members come out ascending.
  int32_t group_count = 0;
  for (size_t k = 0; k < included.size(); k++) {
    int32_t i = included[k];
    // Each insert lands on a random slot; asking for the one some entries
    // ahead lets those memory waits overlap.
    if (key == group_key::identity && k + 16 < included.size())
      __builtin_prefetch(&home_slot(*groups, identities[included[k + 16]].hash));
    const entry_identity &identity = identities[i];
    uint64_t hash = key_hash(key, identity);
    group_slot &slot = groups->slots[probe(*groups, hash, identity.host, identity.service)];
    if (slot.first < 0) {
      slot.tag = tag_of(hash);
      slot.first = i;
      slot.first_state = identity.state;
      store_names(groups, &slot, identity);
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
