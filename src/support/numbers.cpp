#include "support/numbers.h"

#include <cstdlib>

int64_t text_to_long(const char *text) { return strtoll(text, nullptr, 10); }

int32_t text_to_int(const char *text) { return low_32_bits(text_to_long(text)); }

double text_to_double(const char *text) { return strtod(text, nullptr); }

int32_t array_byte_size(int64_t count, size_t element_size) {
  uint64_t bytes = static_cast<uint64_t>(count) * element_size;
  return low_32_bits(static_cast<int64_t>(bytes & UINT32_MAX));
}
