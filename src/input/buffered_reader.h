// Turns a readable descriptor (a status file or a TCP connection) into lines.
// It reads in blocks into one growing heap buffer, hands out each line as a
// fresh heap copy without its line feed, and ends the process itself when a
// read or an allocation fails.
#ifndef SENTREL_INPUT_BUFFERED_READER_H
#define SENTREL_INPUT_BUFFERED_READER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

class buffered_reader {
 public:
  // Borrows `fd` (never closed here); each read asks for `block_size` > 0
  // bytes. Nothing is allocated or read yet.
  buffered_reader(int32_t fd, int32_t block_size);
  ~buffered_reader();
  buffered_reader(const buffered_reader &) = delete;
  buffered_reader &operator=(const buffered_reader &) = delete;

  // The next line without its line feed, owned by the caller (release it
  // with free), or null once the data has ended. A line holding a NUL byte is
  // handed out up to that byte; reading goes on with the next line.
  char *read_line();

  // The same line as read_line, but in the reader's own buffer, its line
  // feed overwritten by a NUL: writable, and valid only until the next call.
  // Null once the data has ended. Spares the parsers a copy of every line.
  // The eight bytes from any byte up to the line's NUL can be read.
  inline char *read_line_in_place();

  // Reads one block behind the held data; returns the byte count, 0 at the
  // end of the data.
  int32_t read_into_buffer();

  // Moves the unread bytes to the start of the buffer when a line runs past
  // the end of the held data.
  void garbage_collect();

  // The offset of the end of the next line (its line feed, or the end of
  // the data), reading as needed; -1 once the data has ended.
  int64_t find_line_end();

  // Hands out the line from read_pos to `end` in place.
  char *line_in_place(int64_t end) {
    buffer[end] = '\0';  // the line feed, or the NUL kept behind the data
    char *line = buffer + read_pos;
    read_pos = end + 1;
    return line;
  }

  // Zero bytes kept behind the data: the NUL that ends the last line, and
  // room for a parser to read a line eight bytes at a time past its end.
  static constexpr size_t tail_size = 8;

  // Public so that tests can check the buffer discipline.
  int32_t fd;
  int32_t block_size;
  char *buffer;
  int64_t bytes_held;  // valid bytes from the start, consumed ones included
  int64_t read_pos;    // first byte not yet handed out
};

// Inline, as the parsers call it for every line of a large file.
char *buffered_reader::read_line_in_place() {
  // Fast path: the line ends inside the bytes already held, as all but one
  // line of a block do.
  if (bytes_held - read_pos > 0) {
    const void *found = memchr(buffer + read_pos, '\n', static_cast<size_t>(bytes_held - read_pos));
    if (found != nullptr) return line_in_place(static_cast<const char *>(found) - buffer);
  }
  int64_t end = find_line_end();
  return end < 0 ? nullptr : line_in_place(end);
}

#endif
