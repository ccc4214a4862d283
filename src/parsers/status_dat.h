// Reads a Nagios 2.x and later status file (status.dat): blocks of
// `key=value` lines, of which host and service blocks become entries (not
// their comments and downtimes).
#ifndef SENTREL_PARSERS_STATUS_DAT_H
#define SENTREL_PARSERS_STATUS_DAT_H

#include <cstdint>

#include "status/stats_array.h"

// Reads `fd` to its end (leaving it open) into `array`, which must be none:
// it stays none when no block opened at all, else it holds the host and
// service entries in file order. Unknown keys of host and service blocks are
// reported on standard output as "{key} ???".
void parse_status_dat(int32_t fd, stats_array *array);

#endif
