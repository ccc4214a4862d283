#include "parsers/status_dat.h"

#include <cstdio>
#include <cstring>

#include "input/buffered_reader.h"
#include "parsers/status_key_table.h"
#include "support/fatal.h"
#include "support/numbers.h"

namespace {

enum : int32_t { block_other = 0, block_host = 1, block_service = 2 };

struct dat_parse {
  stats_array *array;
  int32_t capacity;  // entries allocated
  int32_t block_kind;
};

int32_t block_kind_of(const char *line) {
  if (strncmp(line, "host", 4) == 0) return block_host;
  if (strncmp(line, "service", 7) == 0) return block_service;
  return block_other;
}

// Makes the slot at the count a fresh entry for the block that opens; a slot
// of a block that never closed is simply reused (its texts stay in the
// array's arena until the array goes).
void start_block(dat_parse *parse, const char *line) {
  stats_array *array = parse->array;
  if (array->count == parse->capacity) {
    // Doubling reaches a byte size past the signed 32-bit range first as a
    // negative number, which xrealloc refuses rather than under-allocating.
    int64_t capacity = parse->capacity == 0 ? 128 : INT64_C(2) * parse->capacity;
    array->entries = static_cast<stats_entry *>(xrealloc(
        array->entries, array_byte_size(capacity, sizeof(stats_entry)), "stats array"));
    parse->capacity = static_cast<int32_t>(capacity);
    for (int32_t i = array->count; i < parse->capacity; i++)
      clear_stats_entry(&array->entries[i]);
  } else {
    clear_stats_entry(&array->entries[array->count]);
  }
  parse->block_kind = block_kind_of(line);
}

// A line `key=value` inside a host or service block, the `=` at `equals`.
void read_key_line(dat_parse *parse, char *line, size_t equals) {
  size_t start = strspn(line, " \t");
  const char *key = line + start;
  size_t length = equals - start;
  const status_key *row = find_status_key(key, length);
  if (row != nullptr) {
    stats_array *array = parse->array;
    store_value(row->field, line + equals + 1, &array->entries[array->count], &array->texts);
  } else if (!is_ignored_status_key(key, length)) {
    line[equals] = '\0';
    printf("{%s} ???\n", key);
  }
}

void end_block(dat_parse *parse) {
  stats_entry *entry = &parse->array->entries[parse->array->count];
  // A host is either up or has a problem; Nagios writes DOWN as 1, which
  // would read as WARNING.
  if (parse->block_kind == block_host && entry->current_state == 1)
    entry->current_state = 2;
  entry->type = parse->block_kind;
  parse->array->count++;
  parse->block_kind = block_other;
}

void handle_line(dat_parse *parse, char *line) {
  // A brace opens a block only when no `=` stands before it: plugin outputs
  // carry JSON and the like, and such a key line must not cut its block short.
  size_t stop = strcspn(line, "={");
  if (line[stop] == '{') {
    start_block(parse, line);
  } else if (parse->block_kind == block_other) {
    return;
  } else if (line[stop] == '=') {
    read_key_line(parse, line, stop);
  } else if (strchr(line, '}') != nullptr) {
    end_block(parse);
  }
}

}  // namespace

void parse_status_dat(int32_t fd, stats_array *array) {
  *array = stats_array{};
  dat_parse parse = {array, 0, block_other};
  buffered_reader reader(fd, 4096);
  while (char *line = reader.read_line_in_place()) handle_line(&parse, line);
}
