// Any bytes through the line reader, with a block size taken from the
// first byte so that lines straddle blocks in every way. Each line handed
// out must be the next line of the input (cut at a NUL byte, if it holds
// one), and no line may be lost or invented.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz_input.h"
#include "input/buffered_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  int32_t block_size = 1 + data[0] % 64;
  const char *text = reinterpret_cast<const char *>(data + 1);
  size_t text_size = size - 1;

  buffered_reader reader(descriptor_holding(data + 1, text_size), block_size);
  size_t offset = 0;
  while (char *line = reader.read_line()) {
    if (offset >= text_size) __builtin_trap();
    const char *feed = static_cast<const char *>(memchr(text + offset, '\n', text_size - offset));
    size_t line_size = (feed ? static_cast<size_t>(feed - text) : text_size) - offset;
    size_t expected = strnlen(text + offset, line_size);
    if (strlen(line) != expected || memcmp(line, text + offset, expected) != 0) __builtin_trap();
    offset += line_size + 1;
    free(line);
  }
  if (offset < text_size) __builtin_trap();
  return 0;
}
