// Any bytes as a number: every conversion must give exactly what the C
// library gives for the same text, to the bit and to errno.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/numbers.h"

namespace {

// The text as a parser holds it: digits stand behind the NUL, and must not
// count.
std::vector<char> padded_copy(const char *text) {
  std::vector<char> padded(text, text + strlen(text) + 1);
  padded.insert(padded.end(), 15, '7');
  return padded;
}

void check_integers(const char *text) {
  errno = 0;
  long long expected = strtoll(text, nullptr, 10);
  int expected_errno = errno;
  errno = 0;
  int64_t as_long = text_to_long(text);
  if (as_long != expected || errno != expected_errno) __builtin_trap();
  uint32_t expected_low = static_cast<uint32_t>(static_cast<unsigned long long>(expected));
  if (static_cast<uint32_t>(text_to_int(text)) != expected_low) __builtin_trap();
  std::vector<char> padded = padded_copy(text);
  if (padded_text_to_long(padded.data()) != expected) __builtin_trap();
  if (static_cast<uint32_t>(padded_text_to_int(padded.data())) != expected_low) __builtin_trap();
}

void check_double(const char *text) {
  errno = 0;
  double expected = strtod(text, nullptr);
  int expected_errno = errno;
  errno = 0;
  double value = text_to_double(text);
  if (memcmp(&value, &expected, sizeof value) != 0 || errno != expected_errno) __builtin_trap();
  errno = 0;
  value = padded_text_to_double(padded_copy(text).data());
  if (memcmp(&value, &expected, sizeof value) != 0 || errno != expected_errno) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  check_integers(text.data());
  check_double(text.data());
  return 0;
}
