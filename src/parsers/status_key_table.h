// The keys of status.dat that sentrel stores, each with the stats_entry
// field it fills and how its value is read, and the keys that Nagios 3 and 4,
// Naemon, Icinga and Centreon Engine write that are known but not stored.
#ifndef SENTREL_PARSERS_STATUS_KEY_TABLE_H
#define SENTREL_PARSERS_STATUS_KEY_TABLE_H

#include <cstdint>

#include "status/stats_entry.h"

enum class value_kind { text, int32, int64, floating };

// One key: exactly one of the field pointers, the one matching `kind`, is set.
struct status_key {
  const char *key;
  value_kind kind;
  char *stats_entry::*text_field;
  int32_t stats_entry::*int_field;
  int64_t stats_entry::*long_field;
  double stats_entry::*double_field;
};

constexpr int32_t status_key_count = 77;

// Sorted by byte-wise comparison of the keys.
extern const status_key status_key_table[status_key_count];

// The row for `key` (compared byte-wise, whole text), or null.
const status_key *find_status_key(const char *key);

// True for keys of today's writers that are deliberately not stored, custom
// variables (`_NAME`) included.
bool is_ignored_status_key(const char *key);

// Converts `value` by the row's kind and stores it into its field of `entry`,
// releasing any text the field held before.
void store_status_value(const status_key &row, stats_entry *entry, const char *value);

#endif
