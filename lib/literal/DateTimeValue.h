// Dates, times and timestamps as the records and expressions store them.
//
//  date       int32 day number: days since 0001-01-01 plus one
//             (0001-01-01 = 1, 1899-12-30 = 693594, 2000-01-01 = 730120),
//             proleptic Gregorian calendar.
//  time       int32 milliseconds since midnight, 0 .. 86,399,999.
//  timestamp  double: day number * 86,400,000 + milliseconds of the day.
// All functions are pure except CurrentLocalDateTime.
#pragma once

#include <cstdint>

namespace ficha {

constexpr int32_t kMsPerDay = 86400000;
constexpr int32_t kDayNumber18991230 = 693594;  // day of a time without a date
constexpr int32_t kMinDayNumber = 1;            // 0001-01-01
constexpr int32_t kMaxDayNumber = 3652059;      // 9999-12-31

bool IsLeapYear(int year);
// REQUIRES: 1 <= month <= 12.
int DaysInMonth(int year, int month);

// False (and *day_number untouched) unless 1 <= year <= 9999 and month and
// day exist.
bool EncodeDate(int year, int month, int day, int32_t* day_number);
// Any day number decodes (years outside 1..9999 for numbers outside the range
// above, e.g. the zero of an empty field is 0000-12-31).
void DecodeDate(int32_t day_number, int* year, int* month, int* day);

// False unless hour 0-23, minute 0-59, second 0-59, ms 0-999.
bool EncodeTime(int hour, int minute, int second, int ms, int32_t* ms_of_day);
// Values outside one day are taken modulo a day.
void DecodeTime(int32_t ms_of_day, int* hour, int* minute, int* second, int* ms);

double MakeTimestamp(int32_t day_number, int32_t ms_of_day);
// Floor split; a fractional millisecond is rounded to the nearest. Not a
// number splits as day 0, and day numbers beyond 32 bits are clamped.
void SplitTimestamp(double timestamp, int32_t* day_number, int32_t* ms_of_day);

// Days since 1899-12-30 with the time as fraction (the clock value of file
// headers is this minus 693594.0).
double TimestampToDateTime(double timestamp);
double DateTimeToTimestamp(double date_time);

int DayOfWeek(int32_t day_number);  // Monday 1 .. Sunday 7
int DayOfYear(int32_t day_number);  // January 1 is 1
// ISO week: week 1 begins on the Monday on or before January 4.
int IsoWeek(int32_t day_number);

struct LocalDateTime {
  int32_t day_number;
  int32_t ms_of_day;
};
// The local date and time now (C library local time, millisecond precision).
LocalDateTime CurrentLocalDateTime();

}  // namespace ficha
