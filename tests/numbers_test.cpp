// Numbers read from status files and the command line.
#include "support/numbers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>

namespace {

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
  };
  for (const auto &c : integers) {
    EXPECT_EQ(c.as_long, text_to_long(c.text)) << c.text;
    EXPECT_EQ(c.as_int, text_to_int(c.text)) << c.text;
  }
  errno = 0;
  text_to_long("-9223372036854775808");
  EXPECT_EQ(0, errno);
  text_to_long("9223372036854775808");
  EXPECT_EQ(ERANGE, errno);

  EXPECT_EQ(0.5, text_to_double("0.5"));
  EXPECT_EQ(0.0, text_to_double("x1"));
  EXPECT_EQ(2.7, text_to_double(" 2.7abc"));
  EXPECT_TRUE(std::isnan(text_to_double("nan")));
  EXPECT_TRUE(std::isinf(text_to_double("-inf")));
}

TEST(numbers, array_sizes_past_32_bits_wrap_to_negative) {
  EXPECT_EQ(0, array_byte_size(0, 512));
  EXPECT_EQ(128 * 512, array_byte_size(128, 512));
  EXPECT_EQ(INT32_MAX, array_byte_size(1, INT32_MAX));
  EXPECT_EQ(INT32_MIN, array_byte_size(INT64_C(1) << 22, 512));
  EXPECT_EQ(-512, array_byte_size((INT64_C(1) << 23) - 1, 512));
}

}  // namespace
