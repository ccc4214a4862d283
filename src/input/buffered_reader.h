// Turns a readable descriptor (a status file or a TCP connection) into lines,
// handed out in place in one growing buffer. A failed read of a file or an
// allocation ends the process; a failed or stalled read of a connection ends
// the data and is kept for the caller.
#ifndef SENTREL_INPUT_BUFFERED_READER_H
#define SENTREL_INPUT_BUFFERED_READER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// How the data of one reading ended: whole, cut off inside a block (as the
// parser tells), or broken off by the connection (as the reader tells).
enum class reading_end { complete, cut_short, broken };

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

  // A line's text is cut here; the rest of the line is read and dropped, so
  // that input without line feeds cannot take all memory.
  static constexpr int64_t max_line_length = 1 << 20;

  // Reads one block behind the held data; returns the byte count, 0 at the
  // end of the data or once a read of a connection failed.
  int32_t read_into_buffer();

  // Moves the unread bytes, if any, to the start of the buffer, dropping the
  // lines handed out before them; every read does so first.
  void compact();

  // The offset of the end of the next line (its line feed, or the end of
  // the data), reading as needed; -1 once the data has ended.
  int64_t find_line_end();

  // Hands out the line from read_pos to `end` in place, cut to its first
  // max_line_length bytes.
  char *line_in_place(int64_t end) {
    char *line = buffer + read_pos;
    // The line feed, the NUL kept behind the data, or a byte of the dropped rest.
    buffer[end - read_pos > max_line_length ? read_pos + max_line_length : end] = '\0';
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
  // The errno of the read that broke off a connection's data (EAGAIN when
  // nothing came within its receive time-out); 0 while none did.
  int32_t transfer_error;
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
