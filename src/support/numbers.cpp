#include "support/numbers.h"

#include <cerrno>
#include <cstdlib>

namespace {

// isspace in the C locale, without the locale lookup.
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

const char *skip_space(const char *text) {
  while (is_space(*text)) text++;
  return text;
}

// Steps over an optional sign; true when it was a minus.
bool read_sign(const char **text) {
  char sign = **text;
  if (sign == '-' || sign == '+') (*text)++;
  return sign == '-';
}

// What strtoll gives on overflow, errno included, so that a later errno
// report reads as it did with the library.
int64_t saturated(bool negative) {
  errno = ERANGE;
  return negative ? INT64_MIN : INT64_MAX;
}

// -magnitude for a magnitude up to 2^63, without overflowing on the way.
int64_t negated(uint64_t magnitude) {
  if (magnitude == 0) return 0;
  return -static_cast<int64_t>(magnitude - 1) - 1;
}

}  // namespace

// strtoll in base 10 read by hand: white space, sign, the longest digit
// run, saturated at the 64-bit limits.
int64_t text_to_long(const char *text) {
  text = skip_space(text);
  bool negative = read_sign(&text);
  // The magnitude of INT64_MIN is one more than that of INT64_MAX.
  uint64_t limit = negative ? UINT64_C(1) << 63 : static_cast<uint64_t>(INT64_MAX);
  uint64_t magnitude = 0;
  for (; is_digit(*text); text++) {
    uint64_t digit = static_cast<uint64_t>(*text - '0');
    if (magnitude > (limit - digit) / 10) return saturated(negative);
    magnitude = magnitude * 10 + digit;
  }
  return negative ? negated(magnitude) : static_cast<int64_t>(magnitude);
}

int32_t text_to_int(const char *text) { return low_32_bits(text_to_long(text)); }

double text_to_double(const char *text) { return strtod(text, nullptr); }

int32_t low_32_bits(int64_t value) {
  uint32_t low = static_cast<uint32_t>(static_cast<uint64_t>(value));
  if (low <= INT32_MAX) return static_cast<int32_t>(low);
  return static_cast<int32_t>(static_cast<int64_t>(low) - (INT64_C(1) << 32));
}

int32_t array_byte_size(int64_t count, size_t element_size) {
  uint64_t bytes = static_cast<uint64_t>(count) * element_size;
  return low_32_bits(static_cast<int64_t>(bytes & UINT32_MAX));
}
