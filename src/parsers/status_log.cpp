#include "parsers/status_log.h"

#include <cstdlib>
#include <cstring>

#include "input/buffered_reader.h"
#include "support/fatal.h"
#include "support/numbers.h"

namespace {

enum class conversion {
  text,
  long_number,
  int_number,
  int8_number,
  int_as_double,
  double_number,
  host_state,       // "UP" or a problem
  service_state,    // field 3 of a service
  last_hard_state,  // field 14 of a service
  state_type,       // "SOFT" or HARD
  check_type,       // "ACTIVE" or passive
};

// One field of a record and where it goes: the pointer matching the
// conversion's result is set.
struct column {
  int32_t field;
  conversion how;
  char *stats_entry::*text_field;
  int32_t stats_entry::*int_field;
  int64_t stats_entry::*long_field;
  double stats_entry::*double_field;
};

constexpr column text_column(int32_t field, char *stats_entry::*target) {
  return {field, conversion::text, target, nullptr, nullptr, nullptr};
}
constexpr column long_column(int32_t field, int64_t stats_entry::*target) {
  return {field, conversion::long_number, nullptr, nullptr, target, nullptr};
}
constexpr column int_column(int32_t field, int32_t stats_entry::*target,
                            conversion how = conversion::int_number) {
  return {field, how, nullptr, target, nullptr, nullptr};
}
constexpr column double_column(int32_t field, double stats_entry::*target,
                               conversion how = conversion::double_number) {
  return {field, how, nullptr, nullptr, nullptr, target};
}

const column host_columns[] = {
    text_column(1, &stats_entry::host_name),
    int_column(2, &stats_entry::current_state, conversion::host_state),
    long_column(3, &stats_entry::last_check),
    long_column(4, &stats_entry::last_state_change),
    int_column(5, &stats_entry::problem_has_been_acknowledged, conversion::int8_number),
    int_column(6, &stats_entry::last_time_up),
    int_column(7, &stats_entry::last_time_down),
    int_column(8, &stats_entry::last_time_unreachable),
    int_column(9, &stats_entry::last_notification),
    double_column(10, &stats_entry::current_notification_number, conversion::int_as_double),
    int_column(11, &stats_entry::notifications_enabled, conversion::int8_number),
    int_column(12, &stats_entry::event_handler_enabled),
    int_column(13, &stats_entry::active_checks_enabled, conversion::int8_number),
    int_column(14, &stats_entry::flap_detection_enabled),
    int_column(15, &stats_entry::is_flapping),
    double_column(16, &stats_entry::percent_state_change),
    double_column(17, &stats_entry::scheduled_downtime_depth, conversion::int_as_double),
    int_column(18, &stats_entry::failure_prediction_enabled),
    text_column(20, &stats_entry::plugin_output),
};

const column service_columns[] = {
    text_column(1, &stats_entry::host_name),
    text_column(2, &stats_entry::service_description),
    int_column(3, &stats_entry::current_state, conversion::service_state),
    int_column(5, &stats_entry::state_type, conversion::state_type),
    long_column(6, &stats_entry::last_check),
    long_column(7, &stats_entry::next_check),
    int_column(8, &stats_entry::check_type, conversion::check_type),
    int_column(9, &stats_entry::active_checks_enabled, conversion::int8_number),
    int_column(11, &stats_entry::event_handler_enabled),
    long_column(12, &stats_entry::last_state_change),
    int_column(13, &stats_entry::problem_has_been_acknowledged, conversion::int8_number),
    int_column(14, &stats_entry::last_hard_state, conversion::last_hard_state),
    int_column(15, &stats_entry::last_time_ok),
    int_column(16, &stats_entry::last_time_unknown),
    int_column(17, &stats_entry::last_time_warning),
    int_column(18, &stats_entry::last_time_critical),
    int_column(19, &stats_entry::last_notification),
    double_column(20, &stats_entry::current_notification_number, conversion::int_as_double),
    int_column(21, &stats_entry::notifications_enabled, conversion::int8_number),
    double_column(22, &stats_entry::check_latency),
    double_column(23, &stats_entry::check_execution_time),
    int_column(24, &stats_entry::flap_detection_enabled),
    int_column(25, &stats_entry::is_flapping),
    double_column(26, &stats_entry::percent_state_change),
    double_column(27, &stats_entry::scheduled_downtime_depth, conversion::int_as_double),
    int_column(28, &stats_entry::failure_prediction_enabled),
    int_column(30, &stats_entry::obsess_over_service),
    text_column(31, &stats_entry::plugin_output),
};

// A record kind: the header word after the blank, and the field count of
// its lines. The last field is the plugin output.
struct record_kind {
  const char *name;
  int32_t type;
  int32_t fields;
  const column *columns;
  size_t column_count;
};

const record_kind record_kinds[] = {
    {"HOST", entry_host, 21, host_columns, sizeof host_columns / sizeof host_columns[0]},
    {"SERVICE", entry_service, 32, service_columns,
     sizeof service_columns / sizeof service_columns[0]},
};

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
  while (row->text != nullptr && strcmp(row->text, text) != 0) row++;
  return *row;
}

int32_t low_8_bits(int32_t value) {
  int32_t low = value & 0xff;
  return low < 128 ? low : low - 256;
}

int32_t int_value(conversion how, const char *field) {
  switch (how) {
    case conversion::int8_number: return low_8_bits(text_to_int(field));
    case conversion::host_state: return strcmp(field, "UP") == 0 ? 0 : 2;
    case conversion::service_state: return find_status_text(field).current_state;
    case conversion::last_hard_state: return find_status_text(field).last_hard_state;
    case conversion::state_type: return strcmp(field, "SOFT") == 0 ? 0 : 1;
    case conversion::check_type: return strcmp(field, "ACTIVE") == 0 ? 1 : 0;
    default: return text_to_int(field);
  }
}

void fill_column(const column &c, const char *field, stats_entry *entry) {
  if (c.text_field != nullptr)
    entry->*c.text_field = xstrdup(field);
  else if (c.long_field != nullptr)
    entry->*c.long_field = text_to_long(field);
  else if (c.int_field != nullptr)
    entry->*c.int_field = int_value(c.how, field);
  else if (c.how == conversion::int_as_double)
    entry->*c.double_field = static_cast<double>(text_to_int(field));
  else
    entry->*c.double_field = text_to_double(field);
}

// The record kind named by the header in field 0, or null for no record.
const record_kind *kind_of_header(const char *header) {
  const char *blank = strchr(header, ' ');
  if (blank == nullptr) return nullptr;
  for (const record_kind &kind : record_kinds)
    if (strcmp(blank + 1, kind.name) == 0) return &kind;
  return nullptr;
}

// Puts back the separators that split_fields cut between `from` and `end`:
// a plugin output may itself hold `;`, and it is the last field.
void rejoin_fields(char *from, char *end) {
  for (char *p = from; p < end; p++)
    if (*p == '\0') *p = ';';
}

// Appends a zeroed slot at index `count`; every data line gets one.
stats_entry *next_slot(stats_entry **entries, int32_t count) {
  int64_t slots = INT64_C(1) + count;
  *entries = static_cast<stats_entry *>(
      xrealloc(*entries, array_byte_size(slots, sizeof(stats_entry)), "stats array"));
  clear_stats_entry(&(*entries)[count]);
  return &(*entries)[count];
}

void handle_line(char *line, stats_entry **entries, int32_t *count) {
  if (line[0] == '#') return;
  char *end = line + strlen(line);
  char *slots[max_log_fields];
  int32_t fields = split_fields(line, slots);
  stats_entry *entry = next_slot(entries, *count);

  const record_kind *kind = kind_of_header(slots[0]);
  // Fewer fields is a broken record; more means `;` in the plugin output.
  if (kind == nullptr || fields < kind->fields) return;
  rejoin_fields(slots[kind->fields - 1], end);

  // The header's first character is no part of its time.
  entry->last_update = text_to_long(slots[0] + 1);
  for (size_t i = 0; i < kind->column_count; i++)
    fill_column(kind->columns[i], slots[kind->columns[i].field], entry);
  if (kind->type == entry_host) entry->service_description = xstrdup("");
  entry->type = kind->type;
  (*count)++;
}

}  // namespace

int32_t split_fields(char *line, char *slots[max_log_fields]) {
  for (int32_t i = 0; i < max_log_fields; i++) slots[i] = nullptr;
  char *cursor = line;
  int32_t field = 0;
  for (;;) {
    slots[field] = cursor;
    char *separator = strchr(cursor, ';');
    if (separator == nullptr) return field + 1;
    *separator = '\0';
    cursor = separator + 1;
    field++;
    if (field == max_log_fields) return max_log_fields;
  }
}

void parse_status_log(int32_t fd, stats_array *array) {
  array->entries = nullptr;
  array->count = 0;
  buffered_reader reader(fd, 4096);
  while (char *line = reader.read_line()) {
    handle_line(line, &array->entries, &array->count);
    free(line);
  }
}
