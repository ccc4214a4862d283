#include "status/stats_array.h"

#include <utility>

#include "support/fatal.h"
#include "support/numbers.h"

namespace {

// The memory of the last released array, waiting for the next parse: a
// large site would otherwise map and fault in blocks of the same sizes on
// every poll.
struct spare_memory {
  stats_entry *entries = nullptr;
  int32_t allocated = 0;
  std::vector<entry_identity> identities;
  entry_groups by_identity, down_hosts;
};
spare_memory spare;

void swap_memory(stats_array *array) {
  std::swap(array->identities, spare.identities);
  std::swap(array->by_identity, spare.by_identity);
  std::swap(array->down_hosts, spare.down_hosts);
}

entry_identity identity_of(const stats_entry &entry, uint64_t hash) {
  return {hash, entry.host_name, entry.service_description,
          {entry.current_state, entry.state_type}, entry.type};
}

uint64_t identity_hash_of(const stats_entry &entry) {
  return hash_of_names(group_key::identity, entry.host_name, entry.service_description);
}

}  // namespace

void reserve_entries(stats_array *array, int64_t capacity) {
  if (capacity <= array->allocated) return;
  if (array->entries == nullptr && spare.entries != nullptr && capacity <= spare.allocated) {
    array->entries = spare.entries;
    array->allocated = spare.allocated;
    spare.entries = nullptr;
    spare.allocated = 0;
    swap_memory(array);
    return;
  }
  array->entries = static_cast<stats_entry *>(xrealloc(
      array->entries, array_byte_size(capacity, sizeof(stats_entry)), "stats array"));
  array->allocated = static_cast<int32_t>(capacity);
}

void note_entry(stats_array *array, uint64_t identity_hash) {
  array->identities.push_back(identity_of(array->entries[array->count - 1], identity_hash));
}

void record_identities(stats_array *array) {
  array->identities.clear();
  for (int32_t i = 0; i < array->count; i++)
    array->identities.push_back(
        identity_of(array->entries[i], identity_hash_of(array->entries[i])));
}

void count_downtimes_in_effect(stats_array *array) {
  if (array->downtimes.empty()) return;
  if (!array->by_identity.built)
    build_entry_groups(identities_of(array), array->count, group_key::identity, nullptr,
                       &array->by_identity);
  for (const downtime_span &downtime : array->downtimes) {
    uint64_t hash = hash_of_names(group_key::identity, downtime.host, downtime.service);
    index_span named = find_entry_group(array->by_identity, hash, downtime.host, downtime.service);
    for (const int32_t *index = named.begin; index != named.end; index++) {
      stats_entry *entry = &array->entries[*index];
      if (entry->scheduled_downtime_depth == 0.0 && entry->last_update >= downtime.from &&
          entry->last_update < downtime.until)
        entry->scheduled_downtime_depth = 1;
    }
  }
  array->downtimes.clear();
}

void release_stats_array(stats_array *array) {
  if (array->entries != nullptr) {
    xfree(spare.entries, "stats array");
    spare.entries = array->entries;
    spare.allocated = array->allocated;
    array->identities.clear();
    clear_entry_groups(&array->by_identity);
    clear_entry_groups(&array->down_hosts);
    swap_memory(array);
  }
  release_text_arena(&array->texts);
  *array = stats_array{};
}
