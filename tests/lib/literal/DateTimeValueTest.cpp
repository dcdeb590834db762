#include "lib/literal/DateTimeValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace ficha {
namespace {

TEST(DateTimeValueTest, DayNumbersOfKnownDates) {
  struct Case {
    int y, m, d;
    int32_t day;
  };
  const Case cases[] = {
      {1, 1, 1, 1},          {1899, 12, 30, 693594}, {2000, 1, 1, 730120},
      {2000, 2, 29, 730179}, {1900, 3, 1, 693655},   {9999, 12, 31, kMaxDayNumber},
      {2013, 8, 1, 735081},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.day);
    int32_t day = 0;
    ASSERT_TRUE(EncodeDate(c.y, c.m, c.d, &day));
    EXPECT_EQ(day, c.day);
    int y, m, d;
    DecodeDate(day, &y, &m, &d);
    EXPECT_EQ(y, c.y);
    EXPECT_EQ(m, c.m);
    EXPECT_EQ(d, c.d);
  }
}

TEST(DateTimeValueTest, InvalidDatesAreRefused) {
  int32_t day = 42;
  for (auto [y, m, d] : {std::tuple{1900, 2, 29},
                         {2001, 2, 29},
                         {2013, 4, 31},
                         {2013, 13, 1},
                         {2013, 0, 1},
                         {0, 1, 1},
                         {10000, 1, 1},
                         {2013, 1, 0}}) {
    EXPECT_FALSE(EncodeDate(y, m, d, &day)) << y << "-" << m << "-" << d;
  }
  EXPECT_EQ(day, 42);
}

TEST(DateTimeValueTest, EveryDayRoundTrips) {
  for (int32_t day = kMinDayNumber; day <= kMaxDayNumber; day += 97) {
    int y, m, d;
    DecodeDate(day, &y, &m, &d);
    int32_t back = 0;
    ASSERT_TRUE(EncodeDate(y, m, d, &back)) << day;
    ASSERT_EQ(back, day);
  }
}

TEST(DateTimeValueTest, TimesAndTimestamps) {
  int32_t ms = 0;
  ASSERT_TRUE(EncodeTime(23, 59, 59, 999, &ms));
  EXPECT_EQ(ms, kMsPerDay - 1);
  EXPECT_FALSE(EncodeTime(24, 0, 0, 0, &ms));
  EXPECT_FALSE(EncodeTime(0, 60, 0, 0, &ms));
  EXPECT_FALSE(EncodeTime(0, 0, 0, 1000, &ms));

  double ts = MakeTimestamp(730120, 45296789);  // 2000-01-01 12:34:56.789
  EXPECT_EQ(ts, 730120.0 * 86400000.0 + 45296789.0);
  int32_t day = 0;
  SplitTimestamp(ts, &day, &ms);
  EXPECT_EQ(day, 730120);
  EXPECT_EQ(ms, 45296789);
  // A fraction just below midnight rounds into the next day, not to 86,400,000.
  SplitTimestamp(MakeTimestamp(730120, 0) - 0.2, &day, &ms);
  EXPECT_EQ(day, 730120);
  EXPECT_EQ(ms, 0);

  // Damaged stored values split into a defined day, never beyond 32 bits.
  const struct {
    double ts;
    int32_t day;
  } damaged[] = {{std::nan(""), 0},
                 {1e300, INT32_MAX},
                 {-1e300, INT32_MIN},
                 {std::numeric_limits<double>::infinity(), INT32_MAX}};
  for (const auto& c : damaged) {
    SplitTimestamp(c.ts, &day, &ms);
    EXPECT_EQ(day, c.day) << c.ts;
    EXPECT_EQ(ms, 0) << c.ts;
  }

  EXPECT_DOUBLE_EQ(TimestampToDateTime(MakeTimestamp(kDayNumber18991230, kMsPerDay / 2)), 0.5);
  EXPECT_EQ(DateTimeToTimestamp(0.5), MakeTimestamp(kDayNumber18991230, kMsPerDay / 2));
}

TEST(DateTimeValueTest, WeekdaysAndWeeks) {
  auto day = [](int y, int m, int d) {
    int32_t n = 0;
    EXPECT_TRUE(EncodeDate(y, m, d, &n));
    return n;
  };
  EXPECT_EQ(DayOfWeek(day(2013, 8, 1)), 4);   // Thursday
  EXPECT_EQ(DayOfWeek(day(2012, 7, 29)), 7);  // Sunday
  EXPECT_EQ(DayOfWeek(day(2000, 1, 3)), 1);   // Monday
  EXPECT_EQ(DayOfYear(day(2012, 12, 31)), 366);
  EXPECT_EQ(DayOfYear(day(2013, 1, 1)), 1);
  EXPECT_EQ(IsoWeek(day(2010, 1, 3)), 53);  // Sunday before the first Monday
  EXPECT_EQ(IsoWeek(day(2010, 1, 4)), 1);
  EXPECT_EQ(IsoWeek(day(2008, 12, 29)), 1);  // already in 2009's week 1
  EXPECT_EQ(IsoWeek(day(2013, 8, 1)), 31);
}

TEST(DateTimeValueTest, CurrentLocalDateTimeIsPlausible) {
  LocalDateTime now = CurrentLocalDateTime();
  int32_t y2020 = 0;
  ASSERT_TRUE(EncodeDate(2020, 1, 1, &y2020));
  EXPECT_GT(now.day_number, y2020);
  EXPECT_GE(now.ms_of_day, 0);
  EXPECT_LT(now.ms_of_day, kMsPerDay);
}

}  // namespace
}  // namespace ficha
