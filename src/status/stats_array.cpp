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
  std::vector<uint64_t> identity_hashes;
  entry_groups by_identity, down_hosts;
};
spare_memory spare;

}  // namespace

void reserve_entries(stats_array *array, int64_t capacity) {
  if (capacity <= array->allocated) return;
  if (array->entries == nullptr && spare.entries != nullptr && capacity <= spare.allocated) {
    array->entries = spare.entries;
    array->allocated = spare.allocated;
    spare.entries = nullptr;
    spare.allocated = 0;
    std::swap(array->identity_hashes, spare.identity_hashes);
    std::swap(array->by_identity, spare.by_identity);
    std::swap(array->down_hosts, spare.down_hosts);
    return;
  }
  array->entries = static_cast<stats_entry *>(xrealloc(
      array->entries, array_byte_size(capacity, sizeof(stats_entry)), "stats array"));
  array->allocated = static_cast<int32_t>(capacity);
}

void note_identity(stats_array *array) {
  const stats_entry &entry = array->entries[array->count - 1];
  array->identity_hashes.push_back(
      hash_of_names(group_key::identity, entry.host_name, entry.service_description));
}

const uint64_t *identity_hashes_of(const stats_array &array) {
  bool recorded = array.count > 0 && array.identity_hashes.size() == static_cast<size_t>(array.count);
  return recorded ? array.identity_hashes.data() : nullptr;
}

void release_stats_array(stats_array *array) {
  if (array->entries != nullptr) {
    xfree(spare.entries, "stats array");
    spare.entries = array->entries;
    spare.allocated = array->allocated;
    array->identity_hashes.clear();
    clear_entry_groups(&array->by_identity);
    clear_entry_groups(&array->down_hosts);
    std::swap(array->identity_hashes, spare.identity_hashes);
    std::swap(array->by_identity, spare.by_identity);
    std::swap(array->down_hosts, spare.down_hosts);
  }
  release_text_arena(&array->texts);
  *array = stats_array{};
}
