// Which entries of a poll are reported, and how a report reads. A first poll
// shows the current HARD problems that nobody has silenced; every later poll
// shows what changed since the previous poll's array.
#ifndef SENTREL_WATCHER_REPORT_H
#define SENTREL_WATCHER_REPORT_H

#include <cstdint>

#include "status/stats_array.h"

// The two forms of a report: date, time, label, host and service, then the
// plugin output on a line of its own or after a comma on the same line.
enum class report_layout { two_lines, one_line };

// Index of the last successful lookup in a previous array, kept for the whole
// process and never reset, so that a lookup in an unchanged file order tests
// the last match and its successor first.
extern int32_t lookup_cursor;

// Decides whether entry `index` of the current array is reported (by the
// first-poll rule when `previous` was not read, else by the change rule
// against it) and prints its report at once. Either array may gain the
// lookups it needs.
void report_entry(stats_array *current, int32_t index, stats_array *previous,
                  bool hard_only, report_layout layout);

// Whether entry `index` is a current HARD problem worth showing; the first
// three switches let masked, silenced and acknowledged entries through, and
// `hide_ok` keeps OK entries out. Ends the process for an entry that passes
// every other test with a state outside 0 to 3.
bool show_on_first_poll(stats_array *array, int32_t index, bool include_masked,
                        bool include_notifications_disabled,
                        bool include_acknowledged, bool hide_ok);

// Index of the first entry with this identity, searching from lookup_cursor
// and wrapping around, or -1. A success moves lookup_cursor there. A null
// host or service matches only entries whose field is null as well.
int32_t find_previous_entry(stats_array *array, const char *host, const char *service);

// Whether one of the file's downtimes names the entry at `index` and spans
// its last_update, whatever depth the entry reads: Nagios 4 writes its first
// status file after a start before it restores its downtimes.
bool has_downtime_in_effect(stats_array *array, int32_t index);

// Whether the step from `previous` to `current` is a change to report: any
// state change without `hard_only`, else only what the HARD rule admits.
bool changed_since_previous(const stats_entry *previous,
                            const stats_entry *current, bool hard_only);

// The four-character label of a state code; " ?? " for codes it does not know.
const char *state_label(int32_t current_state);

// Writes the report of `entry` to standard output in `layout`, the time of
// its last state change in local time.
void print_report_line(const stats_entry *entry, report_layout layout);

#endif
