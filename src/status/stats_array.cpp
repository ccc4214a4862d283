#include "status/stats_array.h"

#include <cstring>
#include <type_traits>

#include "support/fatal.h"
#include "support/numbers.h"

static_assert(std::is_trivial<stats_entry>::value, "entries are zeroed and moved as raw memory");

namespace {

uint64_t mix(uint64_t hash, uint64_t word) {
  hash = (hash ^ word) * 0x9e3779b97f4a7c15u;
  return hash ^ (hash >> 32);
}

// Eight bytes at a time, then the length, so that a missing text (a length
// no text has) differs from an empty one; a `padded` text's tail is one read.
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

// The most entries whose byte size fits the signed 32-bit sizes that the
// allocation wrappers take.
const int32_t most_entries = static_cast<int32_t>(INT32_MAX / sizeof(stats_entry));

}  // namespace

void grow_entries(stats_array *array) {
  int64_t capacity = array->allocated == 0 ? 128 : INT64_C(2) * array->allocated;
  if (array->count >= most_entries)
    capacity = INT64_C(1) + array->count;
  else if (capacity > most_entries)
    capacity = most_entries;
  array->entries = static_cast<stats_entry *>(xrealloc(
      array->entries, array_byte_size(capacity, sizeof(stats_entry)), "stats array"));
  array->allocated = static_cast<int32_t>(capacity);
}

uint64_t names_hash(const char *host, const char *service) {
  return hash_text(hash_text(0, host, length_of(host), false), service, length_of(service), false);
}

uint64_t line_names_hash(const char *host, size_t host_length, const char *service,
                         size_t service_length) {
  return hash_text(hash_text(0, host, host_length, true), service, service_length, true);
}

void recount_entries(stats_array *array) {
  int32_t count = array->count;
  array->identities.clear();
  for (array->count = 0; array->count < count;) {
    const stats_entry &entry = array->entries[array->count];
    count_entry(array, names_hash(entry.host_name, entry.service_description));
  }
}

void clear_stats_array(stats_array *array) {
  array->count = 0;
  array->read = false;
  rewind_text_arena(&array->texts);
  array->identities.clear();
  array->downtimes.clear();
  clear_entry_lookup(&array->lookup);
}

void release_stats_array(stats_array *array) {
  if (array->entries != nullptr) xfree(array->entries, "stats array");
  release_text_arena(&array->texts);
  *array = stats_array{};
}
