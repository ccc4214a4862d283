#include "parsers/status_log.h"

#include <cerrno>
#include <cstring>

#include "input/buffered_reader.h"
#include "parsers/entry_field.h"
#include "support/fatal.h"
#include "support/numbers.h"

namespace {

enum class conversion {
  plain,
  int8_number,
  int_as_double,
  host_state,       // "UP" or a problem
  service_state,    // field 3 of a service
  last_hard_state,  // field 14 of a service
  state_type,       // "SOFT" or HARD
  check_type,       // "ACTIVE" or passive
};

// One field of a record, the entry field it fills and how its text is read:
// `plain` by the field's own kind, the others as their names say.
struct column {
  int32_t field;
  entry_field target;
  conversion how = conversion::plain;
};

const column host_columns[] = {
    {1, &stats_entry::host_name},
    {2, &stats_entry::current_state, conversion::host_state},
    {3, &stats_entry::last_check},
    {4, &stats_entry::last_state_change},
    {5, &stats_entry::problem_has_been_acknowledged, conversion::int8_number},
    {6, &stats_entry::last_time_up},
    {7, &stats_entry::last_time_down},
    {8, &stats_entry::last_time_unreachable},
    {9, &stats_entry::last_notification},
    {10, &stats_entry::current_notification_number, conversion::int_as_double},
    {11, &stats_entry::notifications_enabled, conversion::int8_number},
    {12, &stats_entry::event_handler_enabled},
    {13, &stats_entry::active_checks_enabled, conversion::int8_number},
    {14, &stats_entry::flap_detection_enabled},
    {15, &stats_entry::is_flapping},
    {16, &stats_entry::percent_state_change},
    {17, &stats_entry::scheduled_downtime_depth, conversion::int_as_double},
    {18, &stats_entry::failure_prediction_enabled},
    {20, &stats_entry::plugin_output},
};

const column service_columns[] = {
    {1, &stats_entry::host_name},
    {2, &stats_entry::service_description},
    {3, &stats_entry::current_state, conversion::service_state},
    {5, &stats_entry::state_type, conversion::state_type},
    {6, &stats_entry::last_check},
    {7, &stats_entry::next_check},
    {8, &stats_entry::check_type, conversion::check_type},
    {9, &stats_entry::active_checks_enabled, conversion::int8_number},
    {11, &stats_entry::event_handler_enabled},
    {12, &stats_entry::last_state_change},
    {13, &stats_entry::problem_has_been_acknowledged, conversion::int8_number},
    {14, &stats_entry::last_hard_state, conversion::last_hard_state},
    {15, &stats_entry::last_time_ok},
    {16, &stats_entry::last_time_unknown},
    {17, &stats_entry::last_time_warning},
    {18, &stats_entry::last_time_critical},
    {19, &stats_entry::last_notification},
    {20, &stats_entry::current_notification_number, conversion::int_as_double},
    {21, &stats_entry::notifications_enabled, conversion::int8_number},
    {22, &stats_entry::check_latency},
    {23, &stats_entry::check_execution_time},
    {24, &stats_entry::flap_detection_enabled},
    {25, &stats_entry::is_flapping},
    {26, &stats_entry::percent_state_change},
    {27, &stats_entry::scheduled_downtime_depth, conversion::int_as_double},
    {28, &stats_entry::failure_prediction_enabled},
    {30, &stats_entry::obsess_over_service},
    {31, &stats_entry::plugin_output},
};

// A record kind: the header word after the blank, and the field count of
// its lines. The last field is the plugin output.
struct record_kind {
  const char *name;
  int32_t type;
  int32_t fields;
  const column *columns;
  size_t column_count;
  int32_t service_field;  // the service's name, or -1 for a host, whose name is empty
};

// Both kinds name their host in field 1.
const int32_t host_field = 1;

const record_kind record_kinds[] = {
    {"HOST", entry_host, 21, host_columns, sizeof host_columns / sizeof host_columns[0], -1},
    {"SERVICE", entry_service, 32, service_columns,
     sizeof service_columns / sizeof service_columns[0], 2},
};

// Whether `field` is exactly the short `word`: these compares run several
// times a line, where a call costs more than the bytes.
bool is_word(const char *field, const char *word) {
  while (*word != '\0' && *field == *word) {
    field++;
    word++;
  }
  return *field == *word;
}

// Service status texts, compared whole and case-sensitively; the last row
// answers for every other text.
struct status_text {
  const char *text;
  int32_t current_state;
  int32_t last_hard_state;
};

const status_text status_texts[] = {
    {"OK", 0, 0},      {"WARNING", 1, 1}, {"CRITICAL", 2, 2},
    {"UNKNOWN", 3, 3}, {"PENDING", 3, 0}, {nullptr, -1, 0},
};

const status_text &find_status_text(const char *text) {
  const status_text *row = status_texts;
  while (row->text != nullptr && !is_word(text, row->text)) row++;
  return *row;
}

int32_t low_8_bits(int32_t value) {
  int32_t low = value & 0xff;
  return low < 128 ? low : low - 256;
}

int32_t int_value(conversion how, const char *field) {
  switch (how) {
    case conversion::int8_number: return low_8_bits(padded_text_to_int(field));
    case conversion::host_state: return is_word(field, "UP") ? 0 : 2;
    case conversion::service_state: return find_status_text(field).current_state;
    case conversion::last_hard_state: return find_status_text(field).last_hard_state;
    case conversion::state_type: return is_word(field, "SOFT") ? 0 : 1;
    case conversion::check_type: return is_word(field, "ACTIVE") ? 1 : 0;
    default: return padded_text_to_int(field);
  }
}

// Fills the column's field from `field`, of `length` bytes.
void fill_column(const column &c, const char *field, size_t length, stats_entry *entry,
                 text_arena *texts) {
  if (c.how == conversion::plain)
    store_value(c.target, field, length, entry, texts);
  else if (c.how == conversion::int_as_double)
    entry->*c.target.floating = static_cast<double>(padded_text_to_int(field));
  else
    entry->*c.target.int32 = int_value(c.how, field);
}

// The record kind named by the header, the `length` bytes of field 0, or
// null for no record.
const record_kind *kind_of_header(const char *header, size_t length) {
  const char *blank = static_cast<const char *>(memchr(header, ' ', length));
  if (blank == nullptr) return nullptr;
  size_t rest = length - static_cast<size_t>(blank + 1 - header);
  for (const record_kind &kind : record_kinds)
    if (strlen(kind.name) == rest && memcmp(blank + 1, kind.name, rest) == 0) return &kind;
  return nullptr;
}

// Cuts the line of `length` bytes at its first `limit` - 1 separators and
// returns the number of fields, at most `limit`: the last one keeps the rest
// of the line. The slot after the last field points one past the line's NUL,
// so that every field ends one byte before the next slot.
int32_t split_line(char *line, size_t length, char **slots, int32_t limit) {
  int32_t field = 0;
  slots[0] = line;
  for (char *at = line; at < line + length && field + 1 < limit; at++) {
    if (*at != ';') continue;
    *at = '\0';
    slots[++field] = at + 1;
  }
  slots[field + 1] = line + length + 1;
  return field + 1;
}

// Zeroes the slot at the count, growing the array first when it is full;
// every data line gets one.
stats_entry *next_slot(stats_array *array) {
  make_room_for_entry(array);
  stats_entry *slot = &array->entries[array->count];
  prefetch_entry_ahead(*array, 4);
  clear_stats_entry(slot);
  return slot;
}

void handle_line(char *line, stats_array *array) {
  if (line[0] == '#') return;
  size_t length = strlen(line);
  char *end = line + length;
  stats_entry *entry = next_slot(array);

  const char *header_end = static_cast<const char *>(memchr(line, ';', length));
  const record_kind *kind =
      kind_of_header(line, static_cast<size_t>((header_end ? header_end : end) - line));
  if (kind == nullptr) return;
  // Fewer fields is a broken record; more means `;` in the plugin output,
  // the last field, which is left whole.
  char *slots[max_log_fields + 1];
  if (split_line(line, length, slots, kind->fields) < kind->fields) return;

  text_arena *texts = &array->texts;
  auto length_of = [&](int32_t field) {
    return static_cast<size_t>(slots[field + 1] - 1 - slots[field]);
  };
  // The header's first character is no part of its time.
  entry->last_update = padded_text_to_long(slots[0] + 1);
  for (size_t i = 0; i < kind->column_count; i++) {
    int32_t field = kind->columns[i].field;
    fill_column(kind->columns[i], slots[field], length_of(field), entry, texts);
  }
  if (kind->type == entry_host) entry->service_description = arena_copy(texts, "", 0);
  entry->type = kind->type;
  // Hashed for the watcher's lookups where the names stand in the line,
  // their lengths known.
  bool service = kind->service_field >= 0;
  count_entry(array, line_names_hash(slots[host_field], length_of(host_field),
                                    service ? slots[kind->service_field] : "",
                                    service ? length_of(kind->service_field) : 0));
}

}  // namespace

int32_t split_fields(char *line, char *slots[max_log_fields]) {
  // One field more than the slots hold: the text after a 32nd separator,
  // which is dropped.
  char *fields[max_log_fields + 2];
  int32_t count = split_line(line, strlen(line), fields, max_log_fields + 1);
  if (count > max_log_fields) count = max_log_fields;
  for (int32_t i = 0; i < max_log_fields; i++) slots[i] = i < count ? fields[i] : nullptr;
  return count;
}

reading_end parse_status_log(int32_t fd, stats_array *array) {
  clear_stats_array(array);
  buffered_reader reader(fd, 4096);
  while (char *line = reader.read_line_in_place()) handle_line(line, array);
  errno = reader.transfer_error;
  return reader.transfer_error != 0 ? reading_end::broken : reading_end::complete;
}
