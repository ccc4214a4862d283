// The one answer to failures sentrel cannot absorb: say what went wrong on
// standard error and in the system log, then exit with status 1. The
// allocation wrappers built on it never return empty-handed.
#ifndef SENTREL_SUPPORT_FATAL_H
#define SENTREL_SUPPORT_FATAL_H

#include <cstdint>

// Formats the message (cut to 4095 bytes), writes "message: errno=N (if
// applicable)" to standard error and "'message': %m" to the system log at
// LOG_ERR, then exits with status 1 through the normal exit path.
[[noreturn]] void fatal(const char *format, ...)
    __attribute__((format(printf, 1, 2)));

// Resizes (or, for null, allocates) a block to `size` bytes; a size that is
// negative or cannot be had ends the process with the label in the message.
void *xrealloc(void *block, int32_t size, const char *label);

// Returns an owned heap copy of `text`; never null.
char *xstrdup(const char *text);

// For std::set_new_handler: the lookup tables grow in standard containers,
// whose failed allocation would otherwise throw into an abort. Ends the
// process through fatal like the other allocation wrappers.
[[noreturn]] void new_failed();

// Releases a block from xrealloc or xstrdup; null does nothing. The label
// documents what the block held.
void xfree(void *block, const char *label);

#endif
