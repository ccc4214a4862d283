// Numbers read from status files and the command line.
#include "support/numbers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

namespace {

// The text as a parser's line holds it: digits after the NUL must not be
// read as part of the number.
std::string padded(const char *text) { return std::string(text) + '\0' + std::string(15, '7'); }

TEST(numbers, text_conversions_follow_the_c_library) {
  struct { const char *text; int64_t as_long; int32_t as_int; } integers[] = {
      {"", 0, 0},           {"abc", 0, 0},        {" \t-17x", -17, -17},
      {"+5", 5, 5},         {"1.9", 1, 1},        {"2147483648", 2147483648LL, INT32_MIN},
      {"-2147483649", -2147483649LL, INT32_MAX},
      {"99999999999999999999", INT64_MAX, -1},
      {"-99999999999999999999", INT64_MIN, 0},
      {"\v\f\r\n 9", 9, 9},     {"- 1", 0, 0},        {"+-1", 0, 0},
      {"0x1f", 0, 0},           {"-0", 0, 0},         {"4294967297", 4294967297LL, 1},
      {"9223372036854775807", INT64_MAX, -1},       {"9223372036854775808", INT64_MAX, -1},
      {"-9223372036854775808", INT64_MIN, 0},       {"-9223372036854775809", INT64_MIN, 0},
      // Around the eight-digit words of the padded reading.
      {"7", 7, 7},              {"12345678", 12345678, 12345678},
      {"12345678;9", 12345678, 12345678},           {"1796748586", 1796748586, 1796748586},
      {"00000000001", 1, 1},    {"123456789012345", 123456789012345LL, -2045911175},
      {"1234567890123456", 1234567890123456LL, 1015724736},
  };
  for (const auto &c : integers) {
    EXPECT_EQ(c.as_long, text_to_long(c.text)) << c.text;
    EXPECT_EQ(c.as_int, text_to_int(c.text)) << c.text;
    EXPECT_EQ(c.as_long, padded_text_to_long(padded(c.text).c_str())) << c.text;
    EXPECT_EQ(c.as_int, padded_text_to_int(padded(c.text).c_str())) << c.text;
  }
  errno = 0;
  text_to_long("-9223372036854775808");
  EXPECT_EQ(0, errno);
  text_to_long("9223372036854775808");
  EXPECT_EQ(ERANGE, errno);

  // Compared bit for bit, so that -0.0 and 0.0 differ.
  struct { const char *text; double value; } doubles[] = {
      {"0.5", 0.5},           {"x1", 0.0},            {" 2.7abc", 2.7},
      {"-0", -0.0},           {"-0.000", -0.0},       {"0e400", 0.0},
      {"0.012", 0.012},       {"5.000000", 5.0},      {"0001.50", 1.5},
      {"1e3", 1000.0},        {"1E-3", 0.001},        {"1e", 1.0},
      {"1.e+2x", 100.0},      {".5", 0.5},            {"-.", 0.0},
      {"0x1p3", 8.0},         {"-0X.8", -0.5},        {"1e22", 1e22},
      {"1e23", 1e23},         {"90071992547409.93", 90071992547409.93},
      {"3.14159265358979323846", 3.141592653589793},
      {"123456789012345678901", 1.2345678901234568e20},
      {"0.0000000000000000000000001", 1e-25},       {"4.9e-324", 4.9e-324},
      {"1e400", HUGE_VAL},    {"-infinity", -HUGE_VAL},
      {"5.", 5.0},            {"1.5.3", 1.5},         {"00x5", 0.0},
      {"999999999999.999", 999999999999.999},       {"1234567890.1234567", 1234567890.1234567},
      // Around the eight-digit words of the padded reading.
      {"1234567.1234567", 1234567.1234567},         {"12345678.5", 12345678.5},
      {"0.12345678", 0.12345678},                   {"7x", 7.0},
  };
  for (const auto &c : doubles) {
    for (double value : {text_to_double(c.text), padded_text_to_double(padded(c.text).c_str())})
      EXPECT_EQ(0, memcmp(&c.value, &value, sizeof value)) << c.text << " gave " << value;
  }
  EXPECT_TRUE(std::isnan(text_to_double("nan")));
  EXPECT_TRUE(std::isnan(text_to_double(" -NaN(12)")));
}

TEST(numbers, array_sizes_past_32_bits_wrap_to_negative) {
  EXPECT_EQ(0, array_byte_size(0, 512));
  EXPECT_EQ(128 * 512, array_byte_size(128, 512));
  EXPECT_EQ(INT32_MAX, array_byte_size(1, INT32_MAX));
  EXPECT_EQ(INT32_MIN, array_byte_size(INT64_C(1) << 22, 512));
  EXPECT_EQ(-512, array_byte_size((INT64_C(1) << 23) - 1, 512));
}

}  // namespace
