// Reads a Nagios 2.x and later status file (status.dat): blocks of
// `key=value` lines, of which host and service blocks become entries (not
// their comments and downtimes).
#ifndef SENTREL_PARSERS_STATUS_DAT_H
#define SENTREL_PARSERS_STATUS_DAT_H

#include <cstdint>

#include "input/buffered_reader.h"
#include "status/stats_array.h"

// Reads `fd` to its end (leaving it open) into `array`, emptied first with
// its memory kept: it stays unread when no block opened at all, else it
// holds the host and service entries in file order. Unknown keys of host and service blocks are
// reported on standard output as "{key} ???". The reading is cut short when
// the data ends inside a block of any kind: after a line holding a `{` with
// no `=` before it, and before the next line holding a `}` and no `=`. A
// writer that rewrites the file in place, or a transfer that ends early,
// leaves such a reading: the hosts and services after the cut are missing,
// not gone. Broken, with errno telling why, when the connection failed.
[[nodiscard]] reading_end parse_status_dat(int32_t fd, stats_array *array);

#endif
