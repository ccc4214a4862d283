#include "input/buffered_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

namespace {

// The reader's own failures go to the log at LOG_EMERG, not through fatal.
[[noreturn]] void read_failed(int error) {
  fprintf(stderr, "buffered_reader::read_into_buffer: read failed (%s)\n", strerror(error));
  errno = error;
  syslog(LOG_EMERG, "buffered_reader::read_into_buffer: read failed: %m");
  exit(1);
}

[[noreturn]] void realloc_failed() {
  fprintf(stderr, "buffered_reader::read_into_buffer: realloc failed\n");
  syslog(LOG_EMERG, "buffered_reader::read_into_buffer: realloc failed");
  exit(1);
}

[[noreturn]] void malloc_failed(long long size) {
  fprintf(stderr, "buffered_reader::read_line: malloc(%lld) failed\n", size);
  syslog(LOG_EMERG, "buffered_reader::read_line: malloc(%lld) failed", size);
  exit(1);
}

// Over a connection a failed read is a transfer that broke, which costs one
// poll; a status file that cannot be read is a fault of the host.
bool is_socket(int32_t fd) {
  struct stat status;
  return fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode);
}

}  // namespace

buffered_reader::buffered_reader(int32_t fd, int32_t block_size)
    : fd(fd), block_size(block_size), buffer(nullptr), bytes_held(0),
      read_pos(0), transfer_error(0) {}

buffered_reader::~buffered_reader() { free(buffer); }

void buffered_reader::compact() {
  int64_t unread = bytes_held - read_pos;
  if (read_pos == 0 || unread <= 0) return;
  memmove(buffer, buffer + read_pos, static_cast<size_t>(unread));
  bytes_held = unread;
  read_pos = 0;
  buffer[bytes_held] = '\0';
}

int32_t buffered_reader::read_into_buffer() {
  compact();
  size_t size = static_cast<size_t>(bytes_held) + static_cast<size_t>(block_size) + tail_size;
  char *resized = static_cast<char *>(realloc(buffer, size));
  if (resized == nullptr) realloc_failed();
  buffer = resized;

  ssize_t n = 0;
  // A connection whose read failed gives nothing more.
  while (transfer_error == 0 &&
         (n = read(fd, buffer + bytes_held, static_cast<size_t>(block_size))) < 0) {
    int error = errno;
    if (error == EINTR) continue;
    // EAGAIN from a socket is its receive time-out: nothing came in time.
    if (is_socket(fd)) transfer_error = error;
    else if (error != EAGAIN) read_failed(error);
    n = 0;
  }

  bytes_held += n;
  memset(buffer + bytes_held, 0, tail_size);
  return static_cast<int32_t>(n);
}

int64_t buffered_reader::find_line_end() {
  // Once a read found the end inside a line, the data has ended for good. A
  // file that is being written may have grown since; reading on would
  // split the line at the old end and go on into text written later.
  if (read_pos > bytes_held) return -1;
  if (bytes_held - read_pos <= 0 && read_into_buffer() == 0) return -1;
  // Bytes after read_pos already known to hold no line feed, so that a long
  // line is scanned once however many blocks it spans.
  int64_t searched = 0;
  for (;;) {
    const char *from = buffer + read_pos + searched;
    const void *found = memchr(from, '\n', static_cast<size_t>(bytes_held - read_pos - searched));
    if (found != nullptr) return static_cast<const char *>(found) - buffer;
    searched = bytes_held - read_pos;
    if (searched > max_line_length) {
      // The bytes past the cut are dropped as they come.
      bytes_held = read_pos + max_line_length;
      searched = max_line_length;
    }
    if (read_into_buffer() == 0) return bytes_held;
  }
}

char *buffered_reader::read_line() {
  int64_t end = find_line_end();
  if (end < 0) return nullptr;
  int64_t length = end - read_pos < max_line_length ? end - read_pos : max_line_length;
  char *line = static_cast<char *>(malloc(static_cast<size_t>(length) + 1));
  if (line == nullptr) malloc_failed(static_cast<long long>(length) + 1);
  // A NUL byte ends the text handed out for this line, not the data.
  size_t text_length = strnlen(buffer + read_pos, static_cast<size_t>(length));
  memcpy(line, buffer + read_pos, text_length);
  line[text_length] = '\0';
  read_pos = end + 1;
  return line;
}
