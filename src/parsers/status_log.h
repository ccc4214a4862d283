// Reads a Nagios 1.x status file (status.log): one `;`-separated line per
// host or service record.
#ifndef SENTREL_PARSERS_STATUS_LOG_H
#define SENTREL_PARSERS_STATUS_LOG_H

#include <cstdint>

#include "input/buffered_reader.h"
#include "status/stats_array.h"

constexpr int32_t max_log_fields = 32;

// Cuts `line` in place at each `;` into at most 32 fields and returns their
// number (1 to 32); slots from that number on are null. Text after a 32nd
// separator belongs to no slot.
int32_t split_fields(char *line, char *slots[max_log_fields]);

// Reads `fd` to its end (leaving it open) into `array`, emptied first with
// its memory kept: it stays unread when the input held no data line, else
// it holds the host and service entries in file order. Broken, with errno
// telling why, when the connection failed; else complete.
reading_end parse_status_log(int32_t fd, stats_array *array);

#endif
