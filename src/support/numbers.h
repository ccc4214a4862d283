// Numbers read from text as atoi, atol and atof read them, without their
// undefined behaviour: leading white space and a sign allowed, the longest
// valid prefix taken, 0 when there is none.
#ifndef SENTREL_SUPPORT_NUMBERS_H
#define SENTREL_SUPPORT_NUMBERS_H

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The decimal prefix as a 64-bit value, saturated at the 64-bit limits (as
// strtoll reads it: the program stays in the C locale).
int64_t text_to_long(const char *text);

// The low 32 bits of text_to_long, read as a signed value: what atoi gives
// on the platforms sentrel runs on.
int32_t text_to_int(const char *text);

// The floating-point prefix as strtod reads it: exponents, hexadecimal, NaN
// and infinities included.
double text_to_double(const char *text);

// The same for text that can be read eight bytes past any of its bytes up
// to its NUL, as the parsers' lines can: the plain numbers of status files
// are read eight digits at a time, inline, as a poll reads millions.
inline int64_t padded_text_to_long(const char *text);
inline int32_t padded_text_to_int(const char *text);
inline double padded_text_to_double(const char *text);

// The eight bytes at `text` as a number, the first in the lowest byte,
// whatever the machine's byte order: for scanning text a word at a time.
// Written out byte by byte, as compilers turn exactly this form into one
// load (and a byte swap where the machine is big-endian); a loop they may not.
inline uint64_t little_endian_word(const char *text) {
  unsigned char b[8];
  memcpy(b, text, 8);
  return uint64_t{b[0]} | uint64_t{b[1]} << 8 | uint64_t{b[2]} << 16 | uint64_t{b[3]} << 24 |
         uint64_t{b[4]} << 32 | uint64_t{b[5]} << 40 | uint64_t{b[6]} << 48 |
         uint64_t{b[7]} << 56;
}

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

// Powers of ten to scale up to seven digits by, each exact as a double too.
inline constexpr uint64_t powers_of_ten[] = {1,     10,     100,     1000,
                                             10000, 100000, 1000000, 10000000};

// How many of the bytes of `word`, from the first (the lowest), are decimal
// digits before one that is not. A byte is a digit when it differs from '0'
// by at most 9; adding 0x76 to that difference carries into the byte's top
// bit exactly when it is more, and never into the next byte.
inline int leading_digits(uint64_t word) {
  uint64_t differences = word ^ UINT64_C(0x3030303030303030);
  uint64_t low_bits = differences & UINT64_C(0x7f7f7f7f7f7f7f7f);
  uint64_t over_nine =
      ((low_bits + UINT64_C(0x7676767676767676)) | differences) & UINT64_C(0x8080808080808080);
  return over_nine == 0 ? 8 : __builtin_ctzll(over_nine) / 8;
}

// The value of the first `count` (1 to 8) bytes of `word`, all digits:
// shifted up so that zeros lead them, then combined in pairs, fours and
// eights by multiplications whose wanted sums land in the high half.
inline uint64_t digits_value(uint64_t word, int count) {
  uint64_t values = (word ^ UINT64_C(0x3030303030303030)) << (8 * (8 - count));
  values = values * 10 + (values >> 8);
  return (((values & UINT64_C(0x000000ff000000ff)) * (100 + (UINT64_C(1000000) << 32))) +
          (((values >> 16) & UINT64_C(0x000000ff000000ff)) * (1 + (UINT64_C(10000) << 32)))) >>
         32;
}

int64_t padded_text_to_long(const char *text) {
  // Fast paths: one digit alone, the most common number of all, or up to
  // 15 digits with nothing before them, which cannot overflow: the form of
  // every number in a status file.
  unsigned digit = static_cast<unsigned char>(text[0]) - unsigned{'0'};
  if (digit <= 9 && static_cast<unsigned char>(text[1]) - unsigned{'0'} > 9) return digit;
  uint64_t first = little_endian_word(text);
  int count = leading_digits(first);
  if (count == 0) return text_to_long(text);
  if (count < 8) return static_cast<int64_t>(digits_value(first, count));
  uint64_t second = little_endian_word(text + 8);
  int more = leading_digits(second);
  if (more == 8) return text_to_long(text);
  uint64_t value = digits_value(first, 8);
  if (more > 0) value = value * powers_of_ten[more] + digits_value(second, more);
  return static_cast<int64_t>(value);
}

int32_t padded_text_to_int(const char *text) { return low_32_bits(padded_text_to_long(text)); }

double padded_text_to_double(const char *text) {
  // Fast path: at most seven digits on each side of the point and nothing
  // after them that could extend the number. The digits and their power of
  // ten are exact doubles, so one division rounds as strtod does.
  uint64_t whole_word = little_endian_word(text);
  int whole = leading_digits(whole_word);
  if (whole == 8 || (whole == 1 && (text[1] == 'x' || text[1] == 'X'))) return text_to_double(text);
  uint64_t digits = whole > 0 ? digits_value(whole_word, whole) : 0;
  const char *after = text + whole;
  int fraction = 0;
  if (*after == '.') {
    uint64_t fraction_word = little_endian_word(after + 1);
    fraction = leading_digits(fraction_word);
    if (fraction == 8) return text_to_double(text);
    if (fraction > 0)
      digits = digits * powers_of_ten[fraction] + digits_value(fraction_word, fraction);
    after += 1 + fraction;
  }
  bool plain = whole + fraction > 0 && *after != 'e' && *after != 'E' && *after != '.' &&
               FLT_EVAL_METHOD == 0;
  if (!plain) return text_to_double(text);
  return fraction == 0 ? static_cast<double>(digits)
                       : static_cast<double>(digits) / static_cast<double>(powers_of_ten[fraction]);
}

#endif
