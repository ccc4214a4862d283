// Numbers read from text with the forgiving semantics of atoi, atol and atof:
// leading white space and a sign allowed, the longest valid prefix taken, 0
// when there is none, never an error, and never undefined behaviour.
#ifndef SENTREL_SUPPORT_NUMBERS_H
#define SENTREL_SUPPORT_NUMBERS_H

#include <cstddef>
#include <cstdint>

// The decimal prefix as a 64-bit value, saturated at the 64-bit limits.
int64_t text_to_long(const char *text);

// The low 32 bits of text_to_long, read as a signed value: what atoi gives
// on the platforms sentrel runs on.
int32_t text_to_int(const char *text);

// The floating-point prefix as strtod reads it ("nan" and "inf" included).
double text_to_double(const char *text);

// The low 32 bits of `value` as a signed number, without overflow.
int32_t low_32_bits(int64_t value);

// The byte size of `count` elements of `element_size` bytes as the signed
// 32-bit size the allocation wrappers take: a size past the 32-bit range
// wraps (to a negative number) instead of overflowing.
int32_t array_byte_size(int64_t count, size_t element_size);

#endif
