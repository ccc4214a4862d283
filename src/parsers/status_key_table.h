// The keys of status.dat that sentrel stores, each with the stats_entry
// field it fills, and the keys that Nagios 3 and 4, Naemon, Icinga and
// Centreon Engine write that are known but not stored.
#ifndef SENTREL_PARSERS_STATUS_KEY_TABLE_H
#define SENTREL_PARSERS_STATUS_KEY_TABLE_H

#include <cstddef>
#include <cstdint>

#include "parsers/entry_field.h"

struct status_key {
  static constexpr size_t longest_key = 31;

  const char *key;
  entry_field field;  // the field of the same name
  size_t length;      // of the key
  // The key followed by `=`, eight bytes a word, the first byte lowest, the
  // rest zero: a key line is compared with it a word at a time.
  uint64_t key_line[4];

  constexpr status_key(const char *key, entry_field field)
      : key(key), field(field), length(length_of(key)), key_line{} {
    for (size_t i = 0; i <= length && i < 32; i++) {
      uint64_t byte = i < length ? static_cast<unsigned char>(key[i]) : uint64_t{'='};
      key_line[i / 8] |= byte << (8 * (i % 8));
    }
  }

  static constexpr size_t length_of(const char *text) {
    size_t length = 0;
    while (text[length] != '\0') length++;
    return length;
  }
};

constexpr int32_t status_key_count = 78;

// Sorted by byte-wise comparison of the keys, none longer than longest_key.
extern const status_key status_key_table[status_key_count];

// What the `length` bytes at `key` are (compared byte-wise, whole text): a
// stored key's row, or a key today's writers add that is deliberately not
// stored (custom variables, `_NAME`, included), or neither.
struct key_lookup {
  const status_key *row;  // null unless stored
  bool ignored;
};
key_lookup look_up_status_key(const char *key, size_t length);

#endif
