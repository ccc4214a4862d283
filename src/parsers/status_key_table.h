// The keys of status.dat that sentrel stores, each with the stats_entry
// field it fills, and the keys that Nagios 3 and 4, Naemon, Icinga and
// Centreon Engine write that are known but not stored.
#ifndef SENTREL_PARSERS_STATUS_KEY_TABLE_H
#define SENTREL_PARSERS_STATUS_KEY_TABLE_H

#include <cstddef>
#include <cstdint>

#include "status/entry_field.h"

struct status_key {
  const char *key;
  entry_field field;  // the field of the same name
  size_t length;      // of the key

  constexpr status_key(const char *key, entry_field field)
      : key(key), field(field), length(length_of(key)) {}

  static constexpr size_t length_of(const char *text) {
    size_t length = 0;
    while (text[length] != '\0') length++;
    return length;
  }
};

constexpr int32_t status_key_count = 77;

// Sorted by byte-wise comparison of the keys.
extern const status_key status_key_table[status_key_count];

// The row for the `length` bytes at `key` (compared byte-wise, whole text),
// or null; the second form takes a NUL-terminated key.
const status_key *find_status_key(const char *key, size_t length);
const status_key *find_status_key(const char *key);

// True for keys today's writers add that are deliberately not stored, custom
// variables (`_NAME`) included.
bool is_ignored_status_key(const char *key, size_t length);
bool is_ignored_status_key(const char *key);

#endif
