#include "support/numbers.h"

#include <cerrno>
#include <cfloat>
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

// What strtoll gives on overflow, errno included, as a later fatal
// message shows errno.
int64_t saturated(bool negative) {
  errno = ERANGE;
  return negative ? INT64_MIN : INT64_MAX;
}

// -magnitude for a magnitude up to 2^63, without overflowing on the way.
int64_t negated(uint64_t magnitude) {
  if (magnitude == 0) return 0;
  return -static_cast<int64_t>(magnitude - 1) - 1;
}

// A plain decimal number: value = mantissa * 10^exponent.
struct plain_decimal {
  bool negative = false;
  uint64_t mantissa = 0;
  int64_t exponent = 0;
  int32_t significant_digits = 0;  // from the first non-zero digit on
};

// At most 19 significant digits always fit the 64-bit mantissa.
const int32_t most_significant_digits = 19;

// Adds the digit run at `text` to the mantissa; returns where it ends, or
// null when the mantissa would grow past what it can hold.
const char *read_mantissa_digits(const char *text, plain_decimal *number) {
  for (; is_digit(*text); text++) {
    uint64_t digit = static_cast<uint64_t>(*text - '0');
    if (number->mantissa != 0 || digit != 0) number->significant_digits++;
    if (number->significant_digits > most_significant_digits) return nullptr;
    number->mantissa = number->mantissa * 10 + digit;
  }
  return text;
}

// The exponent part, when `text` holds one with at least one digit (as
// strtod demands; otherwise it is not part of the number). Capped far past
// any power exact_value takes, so that it cannot overflow.
int64_t read_exponent(const char *text) {
  if (*text != 'e' && *text != 'E') return 0;
  text++;
  bool negative = read_sign(&text);
  int64_t exponent = 0;
  for (; is_digit(*text); text++)
    if (exponent < 100000) exponent = exponent * 10 + (*text - '0');
  return negative ? -exponent : exponent;
}

// Reads the forms [space][sign]digits[.digits][e[sign]digits], either digit
// run may be empty but not both; false for anything else (hexadecimal, nan,
// inf, no digits at all, too many digits).
bool read_plain_decimal(const char *text, plain_decimal *number) {
  text = skip_space(text);
  number->negative = read_sign(&text);
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return false;
  const char *integer = text;
  text = read_mantissa_digits(integer, number);
  if (text == nullptr) return false;
  bool has_digits = text != integer;
  if (*text == '.') {
    const char *fraction = text + 1;
    text = read_mantissa_digits(fraction, number);
    if (text == nullptr) return false;
    has_digits = has_digits || text != fraction;
    number->exponent = -(text - fraction);
  }
  if (!has_digits) return false;
  number->exponent += read_exponent(text);
  return true;
}

const int64_t largest_exact_power = 22;
const uint64_t largest_exact_mantissa = UINT64_C(1) << 53;

// Where double arithmetic is done in a wider format, one operation may
// round twice; there only the library is trusted.
const bool double_operations_round_once = FLT_EVAL_METHOD == 0;

// The value of `number` computed exactly, or false when that cannot be done
// with one correctly rounded operation.
bool exact_value(const plain_decimal &number, double *value) {
  // Zero times any power of ten is zero, keeping its sign.
  if (number.mantissa == 0) {
    *value = number.negative ? -0.0 : 0.0;
    return true;
  }
  // Clinger: m <= 2^53 and 10^k <= 10^22 are exact, so one operation rounds m*10^k correctly.
  if (!double_operations_round_once || number.mantissa > largest_exact_mantissa ||
      number.exponent > largest_exact_power || number.exponent < -largest_exact_power)
    return false;
  double mantissa = static_cast<double>(number.mantissa);
  double result = number.exponent >= 0 ? mantissa * exact_powers_of_ten[number.exponent]
                                       : mantissa / exact_powers_of_ten[-number.exponent];
  *value = number.negative ? -result : result;
  return true;
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

double text_to_double(const char *text) {
  plain_decimal number;
  double value = 0.0;
  if (read_plain_decimal(text, &number) && exact_value(number, &value)) return value;
  return strtod(text, nullptr);
}

int32_t array_byte_size(int64_t count, size_t element_size) {
  uint64_t bytes = static_cast<uint64_t>(count) * element_size;
  return low_32_bits(static_cast<int64_t>(bytes & UINT32_MAX));
}
