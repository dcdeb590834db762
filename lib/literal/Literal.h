// Text formats of literal values: what filters, SQL, field defaults and
// limits, and conversions between field types read and write.
//
// Reading (each Parse* returns false and leaves *out untouched on bad input):
//  date       year-month-day, decimal integers ("2013-08-01", "2013-8-1");
//             surrounding blanks ignored.
//  time       the first "AM"/"PM" anywhere (any case) is removed and the rest
//             trimmed; then hour:minute[:second[.ms]], ms an integer 0-999
//             (".5" is 5 ms). AM turns hour 12 into 0, PM adds 12 to 1-11;
//             hours above 12 with AM/PM are refused.
//  timestamp  text with a blank: date before the first blank, time after
//             it; else with ':' a time on 1899-12-30; else a date at midnight.
//  boolean    "TRUE" / "FALSE", any case.
//  integers   optional sign and decimal digits, range of the target type.
//  float      optional sign, digits with '.' as decimal point, optional
//             exponent (e/E, optional sign, digits); no inf/nan.
//  BCD        optional sign, digits with the given decimal separator (or
//             '.', the decimal point of SQL texts, so that a default written
//             by SQL reads under any regional setting), no exponent; rounded
//             half away from zero to four places.
// Numbers ignore surrounding blanks.
//
// Writing:
//  date "yyyy-mm-dd"; time "hh:mm", ":ss" when seconds or ms are not 0,
//  ".ms" unpadded when ms is not 0; timestamp date + ' ' + time; booleans
//  "True"/"False"; integers in decimal; floats in general form (15
//  significant digits, no trailing zeros, '.' point, scientific "1.5E-6" /
//  "1E20" below 0.00001 in magnitude or beyond 15 integer digits); BCD fixed
//  point with at most four decimals, no trailing zeros, the given separator.
//
// All functions are pure and thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ficha {

// The process-wide decimal separator of BCD texts (regional setting). The
// utility sets "," at start; the default is '.'. Thread-safe.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

enum class LiteralKind {
  kDate,
  kTime,
  kTimestamp,
  kBoolean,
  kSmallInt,
  kInteger,
  kWord,
  kLargeInt,
  kFloat,
  kBcd,
};

bool ParseDateLiteral(std::string_view text, int32_t* day_number);
bool ParseTimeLiteral(std::string_view text, int32_t* ms_of_day);
bool ParseTimestampLiteral(std::string_view text, double* timestamp);
bool ParseBooleanLiteral(std::string_view text, bool* value);
bool ParseSmallIntLiteral(std::string_view text, int16_t* value);  // -32768..32767
bool ParseIntegerLiteral(std::string_view text, int32_t* value);   // 32-bit
bool ParseWordLiteral(std::string_view text, uint16_t* value);     // 0..65535
bool ParseLargeIntLiteral(std::string_view text, int64_t* value);  // 64-bit
bool ParseFloatLiteral(std::string_view text, double* value);
// *scaled = value * 10,000 rounded; false beyond the int64 scaled range.
bool ParseBcdLiteral(std::string_view text, char decimal_separator, int64_t* scaled);
inline bool ParseBcdLiteral(std::string_view text, int64_t* scaled) {
  return ParseBcdLiteral(text, DecimalSeparator(), scaled);
}

std::string FormatDate(int32_t day_number);
std::string FormatTime(int32_t ms_of_day);
std::string FormatTimestamp(double timestamp);
std::string FormatBoolean(bool value);
std::string FormatInteger(int64_t value);
std::string FormatFloat(double value);  // "NAN", "INF", "-INF" for non-finite
std::string FormatBcd(int64_t scaled, char decimal_separator);
inline std::string FormatBcd(int64_t scaled) { return FormatBcd(scaled, DecimalSeparator()); }

// "'<text>' is not a valid date" and its siblings for each kind.
std::string InvalidLiteralMessage(LiteralKind kind, std::string_view text);
// Throws EConvertError (lib/literal/ConvertError.h) with that message.
[[noreturn]] void RaiseInvalidLiteral(LiteralKind kind, std::string_view text);

// Whether `text` is a valid default, minimum or maximum value for a field of
// this field-type code: empty text always; string, bytes, variable bytes and
// blob (1, 9, 15, 3) any text; date (2) "CURRENT_DATE" (any case) or a date;
// time (10) "CURRENT_TIME" or a time; timestamp (11) CURRENT_TIMESTAMP,
// CURRENT_DATE, CURRENT_TIME, a date, a timestamp or a time; boolean (4),
// smallint (5), integer (6), float (7), BCD (8), word (12), largeint (18)
// their own literal. Any other type accepts only the empty text.
bool IsValidFieldLiteral(int field_type, std::string_view text, char decimal_separator);
inline bool IsValidFieldLiteral(int field_type, std::string_view text) {
  return IsValidFieldLiteral(field_type, text, DecimalSeparator());
}

}  // namespace ficha
