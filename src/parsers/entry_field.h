// A field of stats_entry that a status file fills, and how its text is read:
// the one mapping from text to record that both parsers' tables are made of.
#ifndef SENTREL_PARSERS_ENTRY_FIELD_H
#define SENTREL_PARSERS_ENTRY_FIELD_H

#include <cstdint>
#include <cstring>

#include "status/stats_entry.h"
#include "status/text_arena.h"
#include "support/numbers.h"

enum class value_kind { text, int32, int64, floating };

// The kind follows from the field's type, so a table row names only the field.
struct entry_field {
  value_kind kind;
  union {
    char *stats_entry::*text;
    int32_t stats_entry::*int32;
    int64_t stats_entry::*int64;
    double stats_entry::*floating;
  };
  constexpr entry_field(char *stats_entry::*field) : kind(value_kind::text), text(field) {}
  constexpr entry_field(int32_t stats_entry::*field) : kind(value_kind::int32), int32(field) {}
  constexpr entry_field(int64_t stats_entry::*field) : kind(value_kind::int64), int64(field) {}
  constexpr entry_field(double stats_entry::*field) : kind(value_kind::floating), floating(field) {}
};

// A value's length when the caller does not know it: up to its NUL.
constexpr size_t up_to_nul = SIZE_MAX;

// Stores `value` (a text of `length` bytes copied into `texts`, or a number
// read like atoi, atol or atof) into the field; it must be readable eight
// bytes past its end, as a parser's line is. Inline: millions a poll.
inline void store_value(const entry_field &field, const char *value, size_t length,
                        stats_entry *entry, text_arena *texts) {
  switch (field.kind) {
    case value_kind::text:
      entry->*field.text = arena_copy(texts, value, length == up_to_nul ? strlen(value) : length);
      break;
    case value_kind::int32:
      entry->*field.int32 = padded_text_to_int(value);
      break;
    case value_kind::int64:
      entry->*field.int64 = padded_text_to_long(value);
      break;
    case value_kind::floating:
      entry->*field.floating = padded_text_to_double(value);
      break;
  }
}

#endif
