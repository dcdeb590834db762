#include "lib/literal/Bcd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace ficha {
namespace {

TEST(BcdTest, RoundingToDeclaredPlaces) {
  EXPECT_EQ(RoundBcdScaled(123456, 2), 123500);  // 12.3456 -> 12.35
  EXPECT_EQ(RoundBcdScaled(-123456, 2), -123500);
  EXPECT_EQ(RoundBcdScaled(125000, 0), 130000);  // 12.5 -> 13, half away from zero
  EXPECT_EQ(RoundBcdScaled(-125000, 0), -130000);
  EXPECT_EQ(RoundBcdScaled(124999, 0), 120000);
  EXPECT_EQ(RoundBcdScaled(123456, 4), 123456);
  EXPECT_EQ(RoundBcdScaled(123456, 6), 123456);
  const int64_t max = std::numeric_limits<int64_t>::max();
  EXPECT_LE(RoundBcdScaled(max, 0), max);  // no overflow
}

TEST(BcdTest, PackedLayout) {
  uint8_t b[kBcdSize];
  ASSERT_TRUE(PackBcd(-123456, 2, b));  // -12.35
  EXPECT_EQ(b[0], 32);
  EXPECT_EQ(b[1], 0x80 | 2);
  // 1235 right-aligned in 32 digits: bytes 2-15 zero, then 0x12 0x35.
  for (int i = 2; i < 16; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[16], 0x12);
  EXPECT_EQ(b[17], 0x35);
  for (int i = 18; i < kBcdSize; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(BcdDecimals(b), 2);

  ASSERT_TRUE(PackBcd(0, 4, b));
  EXPECT_EQ(b[1], 4);  // zero carries no sign
}

TEST(BcdTest, RoundTrips) {
  struct Case {
    int64_t scaled;
    int decimals;
    int64_t expected;
  };
  const Case cases[] = {
      {123456, 4, 123456},
      {123456, 2, 123500},
      {-1, 4, -1},
      {-1, 0, 0},
      {50000, 0, 50000},
      {123456, 8, 123456},
      {0, 0, 0},
      {std::numeric_limits<int64_t>::max(), 4, std::numeric_limits<int64_t>::max()},
      {std::numeric_limits<int64_t>::min(), 4, std::numeric_limits<int64_t>::min()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scaled);
    uint8_t b[kBcdSize];
    ASSERT_TRUE(PackBcd(c.scaled, c.decimals, b));
    int64_t back = 7;
    ASSERT_TRUE(UnpackBcd(b, &back));
    EXPECT_EQ(back, c.expected);
  }
}

TEST(BcdTest, ReadsOtherPrecisionsAndRefusesGarbage) {
  uint8_t b[kBcdSize] = {};
  int64_t v = 1;
  ASSERT_TRUE(UnpackBcd(b, &v));  // precision 0 reads as zero
  EXPECT_EQ(v, 0);

  // Precision 5, 3 decimals: digits 12345 in nibbles 0-4 -> 12.345.
  b[0] = 5;
  b[1] = 3;
  b[2] = 0x12;
  b[3] = 0x34;
  b[4] = 0x50;
  ASSERT_TRUE(UnpackBcd(b, &v));
  EXPECT_EQ(v, 123450);

  // Six decimals are rounded to four: 1.234567 -> 1.2346.
  std::memset(b, 0, sizeof b);
  b[0] = 8;
  b[1] = 6;
  b[2] = 0x01;
  b[3] = 0x23;
  b[4] = 0x45;
  b[5] = 0x67;
  ASSERT_TRUE(UnpackBcd(b, &v));
  EXPECT_EQ(v, 12346);

  b[2] = 0x0A;  // not a digit
  EXPECT_FALSE(UnpackBcd(b, &v));

  std::memset(b, 0, sizeof b);
  b[0] = 32;
  b[2] = 0x99;  // 32 digits of 9s: beyond the scaled range
  for (int i = 3; i < 18; ++i) b[i] = 0x99;
  EXPECT_FALSE(UnpackBcd(b, &v));

  b[0] = 65;  // more digits than the value holds
  EXPECT_FALSE(UnpackBcd(b, &v));

  uint8_t out[kBcdSize];
  EXPECT_FALSE(PackBcd(std::numeric_limits<int64_t>::max(), 32, out));
  EXPECT_FALSE(PackBcd(1, 33, out));
  EXPECT_FALSE(PackBcd(1, -1, out));
}

}  // namespace
}  // namespace ficha
