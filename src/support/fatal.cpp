#include "support/fatal.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <syslog.h>

void fatal(const char *format, ...) {
  int saved_errno = errno;
  char message[4096];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);

  fprintf(stderr, "%s: errno=%d (if applicable)\n", message, saved_errno);
  // %m must describe the failure, not whatever writing to stderr left behind.
  errno = saved_errno;
  syslog(LOG_ERR, "'%s': %m", message);
  exit(1);
}

void *xrealloc(void *block, int32_t size, const char *label) {
  // A negative size widened with its sign asks for an impossible amount and
  // fails like an exhausted allocator. Zero is raised to one byte because
  // realloc(p, 0) may free the block and return null, which is no failure.
  void *resized = nullptr;
  if (size >= 0) resized = realloc(block, size == 0 ? 1 : static_cast<size_t>(size));
  if (resized == nullptr)
    fatal("failed to reallocate to %d bytes for %s\n", size, label);
  return resized;
}

char *xstrdup(const char *text) {
  size_t length = strlen(text);
  char *copy = static_cast<char *>(malloc(length + 1));
  if (copy == nullptr)
    fatal("failed to copy string '%s': out of memory?\n", text);
  memcpy(copy, text, length + 1);
  return copy;
}

void new_failed() { fatal("failed to allocate memory\n"); }

void xfree(void *block, const char *) { free(block); }
