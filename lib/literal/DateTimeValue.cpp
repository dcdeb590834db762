#include "lib/literal/DateTimeValue.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>

namespace ficha {

namespace {

// Day number of 1970-01-01; the civil-date algorithms below count from there.
constexpr int64_t kUnixEpochDay = 719163;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (m <= 2));
  *month = m;
  *day = d;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool EncodeDate(int year, int month, int day, int32_t* day_number) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  *day_number = static_cast<int32_t>(DaysFromCivil(year, month, day) + kUnixEpochDay);
  return true;
}

void DecodeDate(int32_t day_number, int* year, int* month, int* day) {
  CivilFromDays(static_cast<int64_t>(day_number) - kUnixEpochDay, year, month, day);
}

bool EncodeTime(int hour, int minute, int second, int ms, int32_t* ms_of_day) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || ms < 0 ||
      ms > 999) {
    return false;
  }
  *ms_of_day = ((hour * 60 + minute) * 60 + second) * 1000 + ms;
  return true;
}

void DecodeTime(int32_t ms_of_day, int* hour, int* minute, int* second, int* ms) {
  int32_t t = ms_of_day % kMsPerDay;
  if (t < 0) t += kMsPerDay;
  *ms = t % 1000;
  t /= 1000;
  *second = t % 60;
  t /= 60;
  *minute = t % 60;
  *hour = t / 60;
}

double MakeTimestamp(int32_t day_number, int32_t ms_of_day) {
  return static_cast<double>(day_number) * kMsPerDay + ms_of_day;
}

void SplitTimestamp(double timestamp, int32_t* day_number, int32_t* ms_of_day) {
  // A damaged stored value must still give some day: not a number reads as
  // day 0, and days beyond 32 bits stop at the ends of the range.
  if (std::isnan(timestamp)) timestamp = 0;
  timestamp = std::clamp(timestamp, static_cast<double>(INT32_MIN) * kMsPerDay,
                         static_cast<double>(INT32_MAX) * kMsPerDay);
  double days = std::floor(timestamp / kMsPerDay);
  double ms = std::round(timestamp - days * kMsPerDay);
  if (ms >= kMsPerDay) {
    days += 1;
    ms -= kMsPerDay;
  } else if (ms < 0) {
    days -= 1;
    ms += kMsPerDay;
  }
  *day_number = static_cast<int32_t>(days);
  *ms_of_day = static_cast<int32_t>(ms);
}

double TimestampToDateTime(double timestamp) { return timestamp / kMsPerDay - kDayNumber18991230; }

double DateTimeToTimestamp(double date_time) {
  return std::round((date_time + kDayNumber18991230) * kMsPerDay);
}

int DayOfWeek(int32_t day_number) {
  // 1970-01-01 was a Thursday.
  int64_t z = static_cast<int64_t>(day_number) - kUnixEpochDay;
  int64_t r = (z % 7 + 7 + 3) % 7;
  return static_cast<int>(r) + 1;
}

int DayOfYear(int32_t day_number) {
  int y, m, d;
  DecodeDate(day_number, &y, &m, &d);
  return static_cast<int>(static_cast<int64_t>(day_number) - kUnixEpochDay -
                          DaysFromCivil(y, 1, 1)) +
         1;
}

int IsoWeek(int32_t day_number) {
  // The week belongs to the year of its Thursday.
  int32_t thursday = day_number + (4 - DayOfWeek(day_number));
  return (DayOfYear(thursday) - 1) / 7 + 1;
}

LocalDateTime CurrentLocalDateTime() {
  const int64_t epoch_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  time_t seconds = static_cast<time_t>(epoch_ms / 1000);
  struct tm local;
  localtime_r(&seconds, &local);
  LocalDateTime now;
  now.day_number = static_cast<int32_t>(
      DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) + kUnixEpochDay);
  int second = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
  now.ms_of_day = ((local.tm_hour * 60 + local.tm_min) * 60 + second) * 1000 +
                  static_cast<int32_t>(epoch_ms % 1000);
  return now;
}

}  // namespace ficha
