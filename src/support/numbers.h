// Numbers read from text with the forgiving semantics of atoi, atol and atof:
// leading white space and a sign allowed, the longest valid prefix taken, 0
// when there is none, never an error, and never undefined behaviour.
#ifndef SENTREL_SUPPORT_NUMBERS_H
#define SENTREL_SUPPORT_NUMBERS_H

#include <cstddef>
#include <cstdint>

// The decimal prefix as a 64-bit value, saturated at the 64-bit limits.
inline int64_t text_to_long(const char *text);

// text_to_long for any text: white space, signs, saturation.
int64_t text_to_long_in_full(const char *text);

// The low 32 bits of text_to_long, read as a signed value: what atoi gives
// on the platforms sentrel runs on.
inline int32_t text_to_int(const char *text);

// The floating-point prefix as strtod reads it ("nan" and "inf" included).
double text_to_double(const char *text);

// The low 32 bits of `value` as a signed number, without overflow.
inline int32_t low_32_bits(int64_t value) {
  uint32_t low = static_cast<uint32_t>(static_cast<uint64_t>(value));
  if (low <= INT32_MAX) return static_cast<int32_t>(low);
  return static_cast<int32_t>(static_cast<int64_t>(low) - (INT64_C(1) << 32));
}

// The byte size of `count` elements of `element_size` bytes as the signed
// 32-bit size the allocation wrappers take: a size past the 32-bit range
// wraps (to a negative number) instead of overflowing.
int32_t array_byte_size(int64_t count, size_t element_size);

// Inline, as the parsers read millions of numbers a poll.
int64_t text_to_long(const char *text) {
  // Fast path: at most 18 digits with nothing before them cannot overflow
  // and need no sign; that is how status files write their numbers.
  uint64_t value = 0;
  int digits = 0;
  for (; digits < 18; digits++) {
    unsigned digit = static_cast<unsigned char>(text[digits]) - unsigned{'0'};
    if (digit > 9) break;
    value = value * 10 + digit;
  }
  unsigned next = static_cast<unsigned char>(text[digits]) - unsigned{'0'};
  if (digits > 0 && next > 9) return static_cast<int64_t>(value);
  return text_to_long_in_full(text);
}

int32_t text_to_int(const char *text) { return low_32_bits(text_to_long(text)); }

#endif
