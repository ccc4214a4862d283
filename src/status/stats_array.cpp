#include "status/stats_array.h"

#include <algorithm>
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

bool hash_before(const downtime_span &a, const downtime_span &b) { return a.hash < b.hash; }

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

void add_downtime(stats_array *array, const downtime_span &downtime) {
  array->downtimes.push_back(downtime);
  array->downtimes.back().hash =
      hash_of_names(group_key::identity, downtime.host, downtime.service);
}

void order_downtimes(stats_array *array) {
  std::sort(array->downtimes.begin(), array->downtimes.end(), hash_before);
}

bool has_downtime_in_effect(stats_array *array, int32_t index) {
  if (array->downtimes.empty()) return false;
  const entry_identity &identity = identities_of(array)[index];
  int64_t written = array->entries[index].last_update;
  downtime_span key = {identity.hash, nullptr, nullptr, 0, 0};
  auto same_hash = std::equal_range(array->downtimes.begin(), array->downtimes.end(), key,
                                    hash_before);
  for (auto downtime = same_hash.first; downtime != same_hash.second; downtime++)
    if (same_text(downtime->host, identity.host) &&
        same_text(downtime->service, identity.service) && written >= downtime->from &&
        written < downtime->until)
      return true;
  return false;
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
