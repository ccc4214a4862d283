#include "parsers/status_dat.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "input/buffered_reader.h"
#include "parsers/status_key_table.h"
#include "support/fatal.h"
#include "support/numbers.h"

namespace {

enum : int32_t { block_other = 0, block_host = 1, block_service = 2 };

struct dat_parse {
  stats_entry *entries;
  int32_t count;     // closed host and service blocks
  int32_t capacity;  // entries allocated
  int32_t block_kind;
};

// A brace only opens a block when it is not part of a value: plugin outputs
// carry JSON and the like, and such a key line must not cut its block short.
bool opens_block(const char *line) {
  const char *brace = strchr(line, '{');
  if (brace == nullptr) return false;
  return memchr(line, '=', static_cast<size_t>(brace - line)) == nullptr;
}

int32_t block_kind_of(const char *line) {
  if (strncmp(line, "host", 4) == 0) return block_host;
  if (strncmp(line, "service", 7) == 0) return block_service;
  return block_other;
}

// Makes the slot at `count` a fresh entry for the block that opens.
void start_block(dat_parse *parse, const char *line) {
  if (parse->count == parse->capacity) {
    // Doubling reaches a byte size past the signed 32-bit range first as a
    // negative number, which xrealloc refuses rather than under-allocating.
    int64_t capacity = parse->capacity == 0 ? 128 : INT64_C(2) * parse->capacity;
    parse->entries = static_cast<stats_entry *>(xrealloc(
        parse->entries, array_byte_size(capacity, sizeof(stats_entry)), "stats array"));
    parse->capacity = static_cast<int32_t>(capacity);
    for (int32_t i = parse->count; i < parse->capacity; i++)
      clear_stats_entry(&parse->entries[i]);
  } else {
    // The slot may still hold texts of a block that never closed.
    release_entry_texts(&parse->entries[parse->count]);
    clear_stats_entry(&parse->entries[parse->count]);
  }
  parse->block_kind = block_kind_of(line);
}

void read_key_line(dat_parse *parse, char *key) {
  char *equals = strchr(key, '=');
  *equals = '\0';
  const status_key *row = find_status_key(key);
  if (row != nullptr)
    store_status_value(*row, &parse->entries[parse->count], equals + 1);
  else if (!is_ignored_status_key(key))
    printf("{%s} ???\n", key);
}

void end_block(dat_parse *parse) {
  stats_entry *entry = &parse->entries[parse->count];
  // A host is either up or has a problem; Nagios writes DOWN as 1, which
  // would read as WARNING.
  if (parse->block_kind == block_host && entry->current_state == 1)
    entry->current_state = 2;
  entry->type = parse->block_kind;
  parse->count++;
  parse->block_kind = block_other;
}

void handle_line(dat_parse *parse, char *line) {
  if (opens_block(line)) {
    start_block(parse, line);
    return;
  }
  if (parse->block_kind == block_other) return;
  char *key = line + strspn(line, " \t");
  if (strchr(key, '=') != nullptr)
    read_key_line(parse, key);
  else if (strchr(line, '}') != nullptr)
    end_block(parse);
}

}  // namespace

void parse_status_dat(int32_t fd, stats_array *array) {
  dat_parse parse = {nullptr, 0, 0, block_other};
  buffered_reader reader(fd, 4096);
  while (char *line = reader.read_line()) {
    handle_line(&parse, line);
    free(line);
  }
  // A block the input left open is dropped with its texts.
  if (parse.count < parse.capacity) release_entry_texts(&parse.entries[parse.count]);
  array->entries = parse.entries;
  array->count = parse.count;
}
