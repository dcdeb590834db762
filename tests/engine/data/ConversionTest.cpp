// Conversion between field types: one row per source type showing its rule,
// plus the failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/data/BcdField.h"
#include "engine/data/FieldConversion.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"

namespace ficha {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes I16(int16_t v) {
  Bytes b(2);
  PutI16(b.data(), v);
  return b;
}
Bytes U16(uint16_t v) {
  Bytes b(2);
  PutU16(b.data(), v);
  return b;
}
Bytes I32(int32_t v) {
  Bytes b(4);
  PutI32(b.data(), v);
  return b;
}
Bytes I64(int64_t v) {
  Bytes b(8);
  PutI64(b.data(), v);
  return b;
}
Bytes F64(double v) {
  Bytes b(8);
  PutF64(b.data(), v);
  return b;
}
Bytes Str(const std::string& text, size_t physical) {
  Bytes b(physical, 0);
  std::memcpy(b.data(), text.data(), std::min(text.size(), physical - 1));
  return b;
}
Bytes Bcd(int64_t scaled, uint8_t decimals) {
  Bytes b(kBcdSize);
  PutBcdValue(b.data(), scaled, decimals);
  return b;
}
int64_t BcdOf(const Bytes& b) {
  int64_t v = 0;
  EXPECT_TRUE(GetBcdValue(b.data(), &v));
  return v;
}
std::string TextOf(const Bytes& b) { return std::string(reinterpret_cast<const char*>(b.data())); }

constexpr double kMsPerDayD = 86400000.0;

struct Case {
  const char* rule;
  uint8_t src_type;
  Bytes src;
  uint8_t dst_type;
  size_t dst_size;
  uint8_t dst_decimals;
  bool ok;
  std::function<void(const Bytes&)> check;
};

TEST(FieldConversionTest, OneRulePerSourceType) {
  const Case cases[] = {
      {"same type: strings are cut", kFldString, Str("ABCDEF", 11), kFldString, 4, 0, true,
       [](const Bytes& d) { EXPECT_EQ(TextOf(d), "ABC"); }},
      {"same type: others unchanged", kFldFloat, F64(2.5), kFldFloat, 8, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetF64(d.data()), 2.5); }},
      {"string read as date", kFldString, Str("2000-01-01", 11), kFldDate, 4, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetI32(d.data()), 730120); }},
      {"string read as BCD with four places, then rounded", kFldString, Str("12.3456", 11), kFldBcd,
       kBcdSize, 2, true, [](const Bytes& d) { EXPECT_EQ(BcdOf(d), 123500); }},
      {"string read as boolean", kFldString, Str("true", 6), kFldBoolean, 2, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetU16(d.data()), 1); }},
      {"date as text", kFldDate, I32(730120), kFldString, 11, 0, true,
       [](const Bytes& d) { EXPECT_EQ(TextOf(d), "2000-01-01"); }},
      {"date at midnight", kFldDate, I32(730120), kFldTimestamp, 8, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetF64(d.data()), 730120 * kMsPerDayD); }},
      {"boolean to BCD is 0 or 1.0000", kFldBoolean, U16(7), kFldBcd, kBcdSize, 4, true,
       [](const Bytes& d) { EXPECT_EQ(BcdOf(d), 10000); }},
      {"small integer to boolean: non-zero becomes 1", kFldSmallInt, I16(-3), kFldBoolean, 2, 0,
       true, [](const Bytes& d) { EXPECT_EQ(GetU16(d.data()), 1); }},
      {"small integer to BCD scaled", kFldSmallInt, I16(-3), kFldBcd, kBcdSize, 2, true,
       [](const Bytes& d) { EXPECT_EQ(BcdOf(d), -30000); }},
      {"integer to small integer keeps the low 16 bits", kFldInteger, I32(70000), kFldSmallInt, 2,
       0, true, [](const Bytes& d) { EXPECT_EQ(GetI16(d.data()), 4464); }},
      {"float truncated toward zero", kFldFloat, F64(-2.7), kFldInteger, 4, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetI32(d.data()), -2); }},
      {"float x 10,000 rounded as BCD", kFldFloat, F64(12.34567), kFldBcd, kBcdSize, 4, true,
       [](const Bytes& d) { EXPECT_EQ(BcdOf(d), 123457); }},
      {"BCD truncated toward zero", kFldBcd, Bcd(-129900, 2), kFldLargeInt, 8, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetI64(d.data()), -12); }},
      {"BCD as float", kFldBcd, Bcd(-129900, 2), kFldFloat, 8, 0, true,
       [](const Bytes& d) { EXPECT_DOUBLE_EQ(GetF64(d.data()), -12.99); }},
      {"bytes into any type raw, cut", kFldBytes, Bytes{1, 2, 3, 4, 5, 6}, kFldInteger, 4, 0, true,
       [](const Bytes& d) {
         EXPECT_EQ(d, (Bytes{1, 2, 3, 4}));
       }},
      {"time on 1899-12-30", kFldTime, I32(3600000), kFldTimestamp, 8, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetF64(d.data()), 693594 * kMsPerDayD + 3600000); }},
      {"timestamp's time", kFldTimestamp, F64(730120 * kMsPerDayD + 43200000), kFldTime, 4, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetI32(d.data()), 43200000); }},
      {"timestamp's date", kFldTimestamp, F64(730120 * kMsPerDayD + 43200000), kFldDate, 4, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetI32(d.data()), 730120); }},
      {"word reinterpreted as signed", kFldWord, U16(65535), kFldSmallInt, 2, 0, true,
       [](const Bytes& d) { EXPECT_EQ(GetI16(d.data()), -1); }},
      {"large integer to integer keeps the low 32 bits", kFldLargeInt, I64(0x100000005LL),
       kFldInteger, 4, 0, true, [](const Bytes& d) { EXPECT_EQ(GetI32(d.data()), 5); }},
      {"large integer as decimal text", kFldLargeInt, I64(-9000000000LL), kFldString, 21, 0, true,
       [](const Bytes& d) { EXPECT_EQ(TextOf(d), "-9000000000"); }},
      {"any type to bytes raw", kFldInteger, I32(0x04030201), kFldVarBytes, 6, 0, true,
       [](const Bytes& d) {
         EXPECT_EQ(d, (Bytes{1, 2, 3, 4, 0, 0}));
       }},
      {"blob source leaves the target as it is", kFldBlob, I64(77), kFldInteger, 4, 0, true,
       [](const Bytes& d) {
         EXPECT_EQ(d, (Bytes{0xAA, 0xAA, 0xAA, 0xAA}));
       }},
  };
  for (const Case& c : cases) {
    Bytes dst(c.dst_size, 0xAA);
    EXPECT_EQ(ConvertFieldValue(c.src_type, c.src.data(), c.src.size(), c.dst_type, dst.data(),
                                dst.size(), c.dst_decimals),
              c.ok)
        << c.rule;
    c.check(dst);
  }
}

TEST(FieldConversionTest, FailuresLeaveTheTargetZero) {
  const Case cases[] = {
      {"string that is no date", kFldString, Str("someday", 11), kFldDate, 4, 0, false, nullptr},
      {"string out of the small-integer range", kFldString, Str("70000", 11), kFldSmallInt, 2, 0,
       false, nullptr},
      {"string to blob", kFldString, Str("x", 5), kFldBlob, 8, 0, false, nullptr},
      {"date to integer", kFldDate, I32(730120), kFldInteger, 4, 0, false, nullptr},
      {"boolean to float", kFldBoolean, U16(1), kFldFloat, 8, 0, false, nullptr},
      {"integer to boolean", kFldInteger, I32(1), kFldBoolean, 2, 0, false, nullptr},
      {"float that is not a number", kFldFloat, F64(std::nan("")), kFldInteger, 4, 0, false,
       nullptr},
      {"bytes to blob", kFldBytes, Bytes{1, 2}, kFldBlob, 8, 0, false, nullptr},
      {"time to date", kFldTime, I32(1000), kFldDate, 4, 0, false, nullptr},
      {"timestamp that is not a number, as text", kFldTimestamp, F64(std::nan("")), kFldString, 24,
       0, false, nullptr},
      {"number too long for the string", kFldInteger, I32(12345), kFldString, 4, 0, false, nullptr},
      {"damaged BCD", kFldBcd, Bytes(kBcdSize, 0xFF), kFldInteger, 4, 0, false, nullptr},
  };
  for (const Case& c : cases) {
    Bytes dst(c.dst_size, 0xAA);
    EXPECT_FALSE(ConvertFieldValue(c.src_type, c.src.data(), c.src.size(), c.dst_type, dst.data(),
                                   dst.size(), c.dst_decimals))
        << c.rule;
    EXPECT_EQ(dst, Bytes(c.dst_size, 0)) << c.rule;
  }
}

}  // namespace
}  // namespace ficha
