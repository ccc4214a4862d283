#include "parsers/status_dat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "input/buffered_reader.h"
#include "parsers/status_key_table.h"
#include "support/fatal.h"
#include "support/numbers.h"

namespace {

// A host or service block's kind becomes its entry's type.
const int32_t block_other = 0, block_host = entry_host, block_service = entry_service,
              block_downtime = 3, block_kind_count = 4;
static_assert(block_other < block_host && block_host < block_service &&
                  block_service < block_downtime && block_downtime < block_kind_count,
              "each kind has a row of its own in the tables by kind");

// Comment and downtime blocks name a host or a service but hold no status of
// one: as entries they would be compared with the status they belong to. A
// downtime block is read all the same, as a span of time for the first poll.
const struct {
  const char *name;
  int32_t kind;
} blocks_without_entry[] = {
    {"hostcomment", block_other},
    {"hostdowntime", block_downtime},
    {"servicecomment", block_other},
    {"servicedowntime", block_downtime},
};

struct dat_parse {
  stats_array *array;
  int32_t block_kind;
  // Writers put a kind's keys in the same order every time, so the rows that
  // came first and after each row last time predict the next key line.
  const status_key *first_row[block_kind_count];
  const status_key *next_row[block_kind_count][status_key_count];
  const status_key **expected;
  const status_key **next_of_kind;  // next_row of this block's kind
  bool inside_block;  // of any kind, from its opening line to its closing one
};

// The kind of the block an opening line starts: by the start of its name,
// unless the whole name (up to a blank, a tab or the brace) is one of the
// blocks that give no entry.
int32_t block_kind_of(const char *line) {
  size_t name_length = strcspn(line, " \t{");
  for (const auto &block : blocks_without_entry)
    if (strlen(block.name) == name_length && strncmp(line, block.name, name_length) == 0)
      return block.kind;
  if (strncmp(line, "host", 4) == 0) return block_host;
  if (strncmp(line, "service", 7) == 0) return block_service;
  return block_other;
}

// Makes room for the block that opens at the count; only a block that stores
// something needs the slot zeroed, and the next block reuses it.
void start_block(dat_parse *parse, const char *line) {
  stats_array *array = parse->array;
  make_room_for_entry(array);
  parse->block_kind = block_kind_of(line);
  parse->inside_block = true;
  parse->expected = &parse->first_row[parse->block_kind];
  parse->next_of_kind = parse->next_row[parse->block_kind];
  if (parse->block_kind == block_other) return;
  clear_stats_entry(&array->entries[array->count]);
  if (parse->block_kind != block_downtime) prefetch_entry_ahead(*array, 1);
}

void store_key_value(dat_parse *parse, const status_key *row, const char *value) {
  stats_array *array = parse->array;
  store_value(row->field, value, up_to_nul, &array->entries[array->count], &array->texts);
  *parse->expected = row;
  parse->expected = &parse->next_of_kind[row - status_key_table];
}

// The row of a line `key=value` inside a block that is read, the key at
// `start` and the `=` at `equals`; null for a key that is skipped, which an
// unknown key of a host or service block is once reported.
const status_key *row_of_key_line(const dat_parse &parse, char *line, size_t start,
                                  size_t equals) {
  key_lookup found = look_up_status_key(line + start, equals - start);
  if (found.row == nullptr && !found.ignored && parse.block_kind != block_downtime) {
    line[equals] = '\0';
    printf("{%s} ???\n", line + start);
  }
  return found.row;
}

// A downtime is in effect over its window when fixed, for its duration once
// begun when flexible; one that waits for a trigger is left to the depth.
void record_downtime(stats_array *array, const stats_entry &downtime) {
  if (downtime.host_name == nullptr || downtime.triggered_by != 0) return;
  downtime_span span = {names_hash(downtime.host_name, downtime.service_description),
                       downtime.host_name, downtime.service_description, 0, 0};
  if (downtime.fixed != 0) {
    span.from = downtime.start_time;
    span.until = downtime.end_time;
  } else if (downtime.flex_downtime_start > 0 && downtime.duration > 0) {
    span.from = downtime.flex_downtime_start;
    span.until = downtime.flex_downtime_start > INT64_MAX - downtime.duration
                     ? INT64_MAX
                     : downtime.flex_downtime_start + downtime.duration;
  }
  if (span.from > 0 && span.from < span.until) array->downtimes.push_back(span);
}

void end_block(dat_parse *parse) {
  parse->inside_block = false;
  if (parse->block_kind == block_other) return;
  stats_entry *entry = &parse->array->entries[parse->array->count];
  if (parse->block_kind == block_downtime) {
    record_downtime(parse->array, *entry);
    parse->block_kind = block_other;
    return;
  }
  // A host is either up or has a problem; Nagios writes DOWN as 1, which
  // would read as WARNING.
  if (parse->block_kind == block_host && entry->current_state == 1)
    entry->current_state = 2;
  entry->type = parse->block_kind;
  // Hashed while the names are at hand, for the watcher's lookups.
  count_entry(parse->array, names_hash(entry->host_name, entry->service_description));
  parse->block_kind = block_other;
}

// The row expected next, when the line at `key` holds exactly its key and
// then `=`: such a line can neither open a block nor hold another key.
const status_key *expected_row(dat_parse *parse, const char *key) {
  const status_key *row = *parse->expected;
  if (row == nullptr) return nullptr;
  // A word at a time, the last one masked to the bytes wanted. A word that
  // matched holds no NUL, so each word read starts at or before the line's
  // end, and the reader lets eight bytes be read from there.
  size_t wanted = row->length + 1;
  size_t whole = wanted / 8;
  for (size_t word = 0; word < whole; word++)
    if (little_endian_word(key + 8 * word) != row->key_line[word]) return nullptr;
  size_t rest = wanted % 8;
  uint64_t differs = rest == 0 ? 0 : little_endian_word(key + 8 * whole) ^ row->key_line[whole];
  if (differs & ((uint64_t{1} << (8 * rest)) - 1)) return nullptr;
  return row;
}

// Any line but the key line expected next, its text from `start` on: opens
// or closes a block, or is a key line of a host or service block, whose row
// is returned; null for a line that stores nothing.
const status_key *handle_other_line(dat_parse *parse, char *line, size_t start) {
  // A brace opens a block only when no `=` stands before it: plugin outputs
  // carry JSON and the like, and such a key line must not cut its block
  // short.
  size_t stop = start;
  while (line[stop] != '=' && line[stop] != '{' && line[stop] != '\0') stop++;
  if (line[stop] == '{') {
    start_block(parse, line);
    return nullptr;
  }
  // Blocks of every kind close, so that a reading can tell whether it ended
  // inside one; key lines never close a block.
  if (line[stop] == '\0') {
    if (stop > start && strchr(line + start, '}') != nullptr) end_block(parse);
    return nullptr;
  }
  if (parse->block_kind == block_other) return nullptr;
  return row_of_key_line(*parse, line, start, stop);
}

void handle_line(dat_parse *parse, char *line) {
  // Writers indent a key line with one tab.
  size_t start = line[0] == '\t' ? 1 : 0;
  while (line[start] == ' ' || line[start] == '\t') start++;
  const status_key *row =
      parse->block_kind != block_other ? expected_row(parse, line + start) : nullptr;
  if (row == nullptr) row = handle_other_line(parse, line, start);
  // The value follows the key, whose length the row holds, and its `=`.
  if (row != nullptr) store_key_value(parse, row, line + start + row->length + 1);
}

}  // namespace

reading_end parse_status_dat(int32_t fd, stats_array *array) {
  clear_stats_array(array);
  dat_parse parse = {array, block_other, {}, {}, nullptr, nullptr, false};
  buffered_reader reader(fd, 4096);
  while (char *line = reader.read_line_in_place()) handle_line(&parse, line);
  errno = reader.transfer_error;
  if (reader.transfer_error != 0) return reading_end::broken;
  return parse.inside_block ? reading_end::cut_short : reading_end::complete;
}
