#include "lib/literal/Literal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lib/literal/ConvertError.h"
#include "lib/literal/DateTimeValue.h"

namespace ficha {
namespace {

int32_t Day(int y, int m, int d) {
  int32_t n = 0;
  EXPECT_TRUE(EncodeDate(y, m, d, &n));
  return n;
}

int32_t Ms(int h, int m, int s = 0, int ms = 0) { return ((h * 60 + m) * 60 + s) * 1000 + ms; }

TEST(LiteralTest, Dates) {
  struct Case {
    const char* text;
    int32_t day;
  };
  const Case good[] = {
      {"2013-08-01", Day(2013, 8, 1)},    {"2013-8-1", Day(2013, 8, 1)},
      {" 2012-07-29 ", Day(2012, 7, 29)}, {"0001-01-01", 1},
      {"2000-02-29", Day(2000, 2, 29)},
  };
  for (const Case& c : good) {
    int32_t day = 0;
    EXPECT_TRUE(ParseDateLiteral(c.text, &day)) << c.text;
    EXPECT_EQ(day, c.day) << c.text;
  }
  for (const char* bad :
       {"29/07/2012", "2013-02-30", "1900-02-29", "2013-08", "2013-08-01x", "", "-2013-08-01",
        "2013--08-01", "10000-01-01", "2013-08-01 10:00", "2013-13-01", "0000-01-01"}) {
    int32_t day = 42;
    EXPECT_FALSE(ParseDateLiteral(bad, &day)) << bad;
    EXPECT_EQ(day, 42) << bad;
  }
}

TEST(LiteralTest, Times) {
  struct Case {
    const char* text;
    int32_t ms;
  };
  const Case good[] = {
      {"10:30", Ms(10, 30)},
      {"10:30 PM", Ms(22, 30)},
      {"12:00 AM", Ms(0, 0)},
      {"12:00 PM", Ms(12, 0)},
      {"pm 1:05", Ms(13, 5)},
      {"12:15:30am", Ms(0, 15, 30)},
      {"10:30:15.5", Ms(10, 30, 15, 5)},
      {"23:59:59.999", Ms(23, 59, 59, 999)},
      {"0:0", 0},
  };
  for (const Case& c : good) {
    int32_t ms = -1;
    EXPECT_TRUE(ParseTimeLiteral(c.text, &ms)) << c.text;
    EXPECT_EQ(ms, c.ms) << c.text;
  }
  for (const char* bad : {"24:00", "10", "10:60", "13:00 PM", "10:30:", "10:30:15.",
                          "10:30:15.1000", "ab:cd", "", "10:30 XM", "10:30:61", "-1:00"}) {
    int32_t ms = 42;
    EXPECT_FALSE(ParseTimeLiteral(bad, &ms)) << bad;
    EXPECT_EQ(ms, 42) << bad;
  }
}

TEST(LiteralTest, Timestamps) {
  struct Case {
    const char* text;
    int32_t day;
    int32_t ms;
  };
  const Case good[] = {
      {"2012-07-29 00:00:00", Day(2012, 7, 29), 0},
      {"2013-08-01", Day(2013, 8, 1), 0},
      {"10:30", kDayNumber18991230, Ms(10, 30)},
      {"2013-08-01 10:30 PM", Day(2013, 8, 1), Ms(22, 30)},
      {"2013-08-01 23:59:59.999", Day(2013, 8, 1), Ms(23, 59, 59, 999)},
  };
  for (const Case& c : good) {
    double ts = -1;
    EXPECT_TRUE(ParseTimestampLiteral(c.text, &ts)) << c.text;
    EXPECT_EQ(ts, MakeTimestamp(c.day, c.ms)) << c.text;
  }
  // A text with a blank is a date and a time, so "10:30 PM" is not a timestamp.
  for (const char* bad :
       {"29/07/2012", "2013-08-01 25:00", "10:30 PM", "", "2013-08-01 x", "2013-02-30 10:00"}) {
    double ts = 42;
    EXPECT_FALSE(ParseTimestampLiteral(bad, &ts)) << bad;
    EXPECT_EQ(ts, 42) << bad;
  }
}

TEST(LiteralTest, Booleans) {
  bool v = false;
  EXPECT_TRUE(ParseBooleanLiteral("TRUE", &v));
  EXPECT_TRUE(v);
  EXPECT_TRUE(ParseBooleanLiteral(" false ", &v));
  EXPECT_FALSE(v);
  EXPECT_TRUE(ParseBooleanLiteral("True", &v));
  EXPECT_TRUE(v);
  for (const char* bad : {"yes", "1", "", "T", "TRUEX"}) {
    EXPECT_FALSE(ParseBooleanLiteral(bad, &v)) << bad;
  }
  EXPECT_EQ(FormatBoolean(true), "True");
  EXPECT_EQ(FormatBoolean(false), "False");
}

TEST(LiteralTest, IntegerRanges) {
  int16_t i16;
  int32_t i32;
  uint16_t u16;
  int64_t i64;
  EXPECT_TRUE(ParseSmallIntLiteral("-32768", &i16));
  EXPECT_EQ(i16, -32768);
  EXPECT_TRUE(ParseSmallIntLiteral("+32767", &i16));
  EXPECT_EQ(i16, 32767);
  EXPECT_FALSE(ParseSmallIntLiteral("32768", &i16));
  EXPECT_TRUE(ParseIntegerLiteral(" 2147483647 ", &i32));
  EXPECT_EQ(i32, 2147483647);
  EXPECT_TRUE(ParseIntegerLiteral("-2147483648", &i32));
  EXPECT_EQ(i32, std::numeric_limits<int32_t>::min());
  EXPECT_FALSE(ParseIntegerLiteral("2147483648", &i32));
  EXPECT_TRUE(ParseWordLiteral("65535", &u16));
  EXPECT_EQ(u16, 65535);
  EXPECT_FALSE(ParseWordLiteral("65536", &u16));
  EXPECT_FALSE(ParseWordLiteral("-1", &u16));
  EXPECT_TRUE(ParseLargeIntLiteral("9223372036854775807", &i64));
  EXPECT_EQ(i64, std::numeric_limits<int64_t>::max());
  EXPECT_TRUE(ParseLargeIntLiteral("-9223372036854775808", &i64));
  EXPECT_EQ(i64, std::numeric_limits<int64_t>::min());
  EXPECT_FALSE(ParseLargeIntLiteral("9223372036854775808", &i64));
  EXPECT_FALSE(ParseLargeIntLiteral("99999999999999999999", &i64));
  for (const char* bad : {"", "+", "-", "1.0", "12a", "- 5", "1 2", "0x10"}) {
    EXPECT_FALSE(ParseLargeIntLiteral(bad, &i64)) << bad;
  }
  EXPECT_EQ(FormatInteger(-42), "-42");
  EXPECT_EQ(FormatInteger(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
}

TEST(LiteralTest, Floats) {
  struct Case {
    const char* text;
    double value;
  };
  const Case good[] = {{"1.5", 1.5},   {"-2.5e3", -2500}, {".5", 0.5}, {"1.", 1.0},
                       {"1E-6", 1e-6}, {"+3", 3},         {" 7 ", 7},  {"2.5E+2", 250},
                       {"1e-400", 0},  {"0.0001e-400", 0}};
  for (const Case& c : good) {
    double v = 0;
    EXPECT_TRUE(ParseFloatLiteral(c.text, &v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
  for (const char* bad : {"1.2.3", "inf", "nan", "0x10", "1e", "e5", ".", "", "1e400", "1,5", "--1",
                          "1e+", "0.001e312", "-1e309"}) {
    double v = 42;
    EXPECT_FALSE(ParseFloatLiteral(bad, &v)) << bad;
    EXPECT_EQ(v, 42) << bad;
  }
}

TEST(LiteralTest, FloatText) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {2.5, "2.5"},
      {0.1, "0.1"},
      {100, "100"},
      {0, "0"},
      {-0.000012345, "-0.000012345"},
      {0.00001, "0.00001"},
      {1e-6, "1E-6"},
      {-1.25e-7, "-1.25E-7"},
      {1.5e20, "1.5E20"},
      {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1.23456789012346E15"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {999999999999999.9, "1E15"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFloat(c.value), c.text) << c.text;
  EXPECT_EQ(FormatFloat(std::nan("")), "NAN");
  EXPECT_EQ(FormatFloat(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(LiteralTest, Bcd) {
  struct Case {
    const char* text;
    int64_t scaled;
  };
  const Case good[] = {
      {"12,3456", 123456},
      {"12,34565", 123457},
      {"-0,00005", -1},
      {"12", 120000},
      {",5", 5000},
      {"12.5", 125000},
      {"-3", -30000},
      {"0,00004", 0},
      {"922337203685477,5807", std::numeric_limits<int64_t>::max()},
      {"-922337203685477,5808", std::numeric_limits<int64_t>::min()},
  };
  for (const Case& c : good) {
    int64_t v = 0;
    EXPECT_TRUE(ParseBcdLiteral(c.text, ',', &v)) << c.text;
    EXPECT_EQ(v, c.scaled) << c.text;
  }
  for (const char* bad : {"1,2,3", "1.2,3", "1e5", "", ",", "-", "922337203685477,5808",
                          "922337203685477,58075", "1 000"}) {
    int64_t v = 42;
    EXPECT_FALSE(ParseBcdLiteral(bad, ',', &v)) << bad;
    EXPECT_EQ(v, 42) << bad;
  }
  EXPECT_EQ(FormatBcd(123456, ','), "12,3456");
  EXPECT_EQ(FormatBcd(120000, ','), "12");
  EXPECT_EQ(FormatBcd(-5000, ','), "-0,5");
  EXPECT_EQ(FormatBcd(1, '.'), "0.0001");
  EXPECT_EQ(FormatBcd(0, ','), "0");
  EXPECT_EQ(FormatBcd(std::numeric_limits<int64_t>::min(), ','), "-922337203685477,5808");
}

TEST(LiteralTest, ProcessDecimalSeparator) {
  const char saved = DecimalSeparator();
  SetDecimalSeparator(',');
  int64_t v = 0;
  EXPECT_TRUE(ParseBcdLiteral("1,25", &v));
  EXPECT_EQ(v, 12500);
  EXPECT_EQ(FormatBcd(12500), "1,25");
  SetDecimalSeparator('.');
  EXPECT_FALSE(ParseBcdLiteral("1,25", &v));
  EXPECT_EQ(FormatBcd(12500), "1.25");
  SetDecimalSeparator(saved);
}

TEST(LiteralTest, TemporalText) {
  EXPECT_EQ(FormatDate(Day(2013, 8, 1)), "2013-08-01");
  EXPECT_EQ(FormatDate(1), "0001-01-01");
  EXPECT_EQ(FormatTime(0), "00:00");
  EXPECT_EQ(FormatTime(Ms(22, 30)), "22:30");
  EXPECT_EQ(FormatTime(Ms(10, 30, 15)), "10:30:15");
  EXPECT_EQ(FormatTime(Ms(10, 30, 15, 5)), "10:30:15.5");
  EXPECT_EQ(FormatTime(Ms(10, 30, 15, 120)), "10:30:15.120");
  // Milliseconds without seconds still show, with the seconds.
  EXPECT_EQ(FormatTime(Ms(10, 30, 0, 500)), "10:30:00.500");
  EXPECT_EQ(FormatTimestamp(MakeTimestamp(Day(2012, 7, 29), 0)), "2012-07-29 00:00");
  EXPECT_EQ(FormatTimestamp(MakeTimestamp(Day(2012, 7, 29), Ms(8, 5, 3))), "2012-07-29 08:05:03");
}

TEST(LiteralTest, TextRoundTrips) {
  for (int32_t day : {1, kDayNumber18991230, Day(2013, 8, 1), kMaxDayNumber}) {
    int32_t back = 0;
    ASSERT_TRUE(ParseDateLiteral(FormatDate(day), &back)) << day;
    EXPECT_EQ(back, day);
  }
  for (int32_t ms : {0, Ms(10, 30), Ms(10, 30, 15, 5), Ms(0, 0, 0, 1), kMsPerDay - 1}) {
    int32_t back = -1;
    ASSERT_TRUE(ParseTimeLiteral(FormatTime(ms), &back)) << ms;
    EXPECT_EQ(back, ms);
  }
  for (double ts : {MakeTimestamp(Day(2012, 7, 29), 0), MakeTimestamp(Day(1, 1, 1), 1),
                    MakeTimestamp(Day(9999, 12, 31), kMsPerDay - 1)}) {
    double back = -1;
    ASSERT_TRUE(ParseTimestampLiteral(FormatTimestamp(ts), &back)) << ts;
    EXPECT_EQ(back, ts);
  }
  for (double f : {2.5, -1e-7, 1.5e20, 123.456, 1.0 / 3}) {
    double back = 0;
    ASSERT_TRUE(ParseFloatLiteral(FormatFloat(f), &back)) << f;
    EXPECT_NEAR(back, f, std::fabs(f) * 1e-14);
  }
  for (int64_t scaled :
       {int64_t{0}, int64_t{1}, int64_t{-123456}, std::numeric_limits<int64_t>::max()}) {
    int64_t back = 0;
    ASSERT_TRUE(ParseBcdLiteral(FormatBcd(scaled, ','), ',', &back)) << scaled;
    EXPECT_EQ(back, scaled);
  }
}

TEST(LiteralTest, Messages) {
  EXPECT_EQ(InvalidLiteralMessage(LiteralKind::kDate, "29/07/2012"),
            "'29/07/2012' is not a valid date");
  EXPECT_EQ(InvalidLiteralMessage(LiteralKind::kTime, "x"), "'x' is not a valid time");
  EXPECT_EQ(InvalidLiteralMessage(LiteralKind::kTimestamp, "x"),
            "'x' is not a valid date and time");
  try {
    RaiseInvalidLiteral(LiteralKind::kDate, "31/02");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'31/02' is not a valid date");
  }
}

TEST(LiteralTest, FieldDefaultsAndLimits) {
  struct Case {
    int type;
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {1, "", true},
      {1, "anything at all", true},
      {9, "\x01\x02", true},
      {15, "x", true},
      {3, "memo", true},
      {2, "current_date", true},
      {2, "2013-08-01", true},
      {2, "CURRENT_TIME", false},
      {2, "01/08/2013", false},
      {10, "CURRENT_TIME", true},
      {10, "10:30 PM", true},
      {10, "2013-08-01", false},
      {11, "CURRENT_TIMESTAMP", true},
      {11, "Current_Date", true},
      {11, "CURRENT_TIME", true},
      {11, "2013-08-01", true},
      {11, "2013-08-01 10:00", true},
      {11, "10:30 PM", true},
      {11, "tomorrow", false},
      {4, "true", true},
      {4, "1", false},
      {5, "-32768", true},
      {5, "40000", false},
      {6, "40000", true},
      {6, "1.5", false},
      {7, "1.5e3", true},
      {7, "abc", false},
      {8, "1,5", true},
      {8, "1.5", true},
      {8, "1e3", false},
      {12, "65535", true},
      {12, "-1", false},
      {18, "-9223372036854775808", true},
      {18, "x", false},
      {13, "1", false},
      {13, "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidFieldLiteral(c.type, c.text, ','), c.valid)
        << "type " << c.type << " '" << c.text << "'";
  }
}

}  // namespace
}  // namespace ficha
