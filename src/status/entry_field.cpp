#include "status/entry_field.h"

#include <cstring>

#include "support/numbers.h"

void store_value(const entry_field &field, const char *value, stats_entry *entry,
                 text_arena *texts) {
  switch (field.kind) {
    case value_kind::text:
      entry->*field.text = arena_copy(texts, value, strlen(value));
      break;
    case value_kind::int32:
      entry->*field.int32 = text_to_int(value);
      break;
    case value_kind::int64:
      entry->*field.int64 = text_to_long(value);
      break;
    case value_kind::floating:
      entry->*field.floating = text_to_double(value);
      break;
  }
}
