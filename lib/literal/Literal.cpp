#include "lib/literal/Literal.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "lib/literal/ConvertError.h"
#include "lib/literal/DateTimeValue.h"

namespace ficha {

namespace {

std::atomic<char> g_decimal_separator{'.'};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// Reads an unsigned decimal number of 1 to 9 digits at *pos.
bool ReadSmallNumber(std::string_view s, size_t* pos, int* value) {
  size_t start = *pos;
  int v = 0;
  while (*pos < s.size() && IsDigit(s[*pos])) {
    if (*pos - start >= 9) return false;
    v = v * 10 + (s[*pos] - '0');
    ++*pos;
  }
  if (*pos == start) return false;
  *value = v;
  return true;
}

// Optional sign and decimal digits, within [min, max].
bool ParseSigned(std::string_view text, int64_t min, int64_t max, int64_t* value) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  const uint64_t limit = negative ? 0 - static_cast<uint64_t>(min) : static_cast<uint64_t>(max);
  uint64_t magnitude = 0;
  for (char c : s) {
    if (!IsDigit(c)) return false;
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (magnitude > (limit - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  if (magnitude > limit) return false;
  *value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

// Power of ten of the first significant digit of a well-formed decimal
// number ("0.05" -> -2, "120" -> 2); 0 for zero.
int64_t DecimalOrder(std::string_view s) {
  size_t pos = s[0] == '-' ? 1 : 0;
  int64_t order = 0;
  bool seen_digit = false;
  bool after_point = false;
  for (; pos < s.size() && s[pos] != 'e' && s[pos] != 'E'; ++pos) {
    if (s[pos] == '.') {
      after_point = true;
      continue;
    }
    if (!seen_digit && s[pos] == '0') {
      if (after_point) --order;
      continue;
    }
    if (!seen_digit) {
      seen_digit = true;
      if (after_point) --order;
    } else if (!after_point) {
      ++order;
    }
  }
  if (!seen_digit) return 0;
  int64_t exponent = 0;
  if (pos < s.size()) {
    ++pos;
    bool negative = pos < s.size() && s[pos] == '-';
    if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) ++pos;
    for (; pos < s.size(); ++pos) {
      if (exponent < 1000000000) exponent = exponent * 10 + (s[pos] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return order + exponent;
}

std::string TwoDigits(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

}  // namespace

char DecimalSeparator() { return g_decimal_separator.load(std::memory_order_relaxed); }

void SetDecimalSeparator(char separator) {
  g_decimal_separator.store(separator, std::memory_order_relaxed);
}

bool ParseDateLiteral(std::string_view text, int32_t* day_number) {
  std::string_view s = Trim(text);
  size_t pos = 0;
  int year, month, day;
  if (!ReadSmallNumber(s, &pos, &year) || pos >= s.size() || s[pos++] != '-') return false;
  if (!ReadSmallNumber(s, &pos, &month) || pos >= s.size() || s[pos++] != '-') return false;
  if (!ReadSmallNumber(s, &pos, &day) || pos != s.size()) return false;
  return EncodeDate(year, month, day, day_number);
}

bool ParseTimeLiteral(std::string_view text, int32_t* ms_of_day) {
  std::string s(text);
  int meridian = 0;  // 1 AM, 2 PM
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    char a = AsciiUpper(s[i]);
    if ((a == 'A' || a == 'P') && AsciiUpper(s[i + 1]) == 'M') {
      meridian = a == 'A' ? 1 : 2;
      s.erase(i, 2);
      break;
    }
  }
  std::string_view t = Trim(s);
  size_t pos = 0;
  int hour, minute, second = 0, ms = 0;
  if (!ReadSmallNumber(t, &pos, &hour) || pos >= t.size() || t[pos++] != ':') return false;
  if (!ReadSmallNumber(t, &pos, &minute)) return false;
  if (pos < t.size()) {
    if (t[pos++] != ':' || !ReadSmallNumber(t, &pos, &second)) return false;
    if (pos < t.size()) {
      if (t[pos++] != '.' || !ReadSmallNumber(t, &pos, &ms) || pos != t.size()) return false;
    }
  }
  if (meridian != 0) {
    if (hour > 12) return false;
    if (meridian == 1 && hour == 12) hour = 0;
    if (meridian == 2 && hour != 12) hour += 12;
  }
  return EncodeTime(hour, minute, second, ms, ms_of_day);
}

bool ParseTimestampLiteral(std::string_view text, double* timestamp) {
  std::string_view s = Trim(text);
  size_t blank = s.find(' ');
  int32_t day, ms;
  if (blank != std::string_view::npos) {
    if (!ParseDateLiteral(s.substr(0, blank), &day) ||
        !ParseTimeLiteral(s.substr(blank + 1), &ms)) {
      return false;
    }
  } else if (s.find(':') != std::string_view::npos) {
    if (!ParseTimeLiteral(s, &ms)) return false;
    day = kDayNumber18991230;
  } else {
    if (!ParseDateLiteral(s, &day)) return false;
    ms = 0;
  }
  *timestamp = MakeTimestamp(day, ms);
  return true;
}

bool ParseBooleanLiteral(std::string_view text, bool* value) {
  std::string_view s = Trim(text);
  if (EqualsIgnoreCase(s, "TRUE")) {
    *value = true;
    return true;
  }
  if (EqualsIgnoreCase(s, "FALSE")) {
    *value = false;
    return true;
  }
  return false;
}

bool ParseSmallIntLiteral(std::string_view text, int16_t* value) {
  int64_t v;
  if (!ParseSigned(text, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(),
                   &v)) {
    return false;
  }
  *value = static_cast<int16_t>(v);
  return true;
}

bool ParseIntegerLiteral(std::string_view text, int32_t* value) {
  int64_t v;
  if (!ParseSigned(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
                   &v)) {
    return false;
  }
  *value = static_cast<int32_t>(v);
  return true;
}

bool ParseWordLiteral(std::string_view text, uint16_t* value) {
  int64_t v;
  if (!ParseSigned(text, 0, std::numeric_limits<uint16_t>::max(), &v)) return false;
  *value = static_cast<uint16_t>(v);
  return true;
}

bool ParseLargeIntLiteral(std::string_view text, int64_t* value) {
  return ParseSigned(text, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
                     value);
}

bool ParseFloatLiteral(std::string_view text, double* value) {
  std::string_view s = Trim(text);
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);  // from_chars takes no plus
  // Check the shape first: from_chars would also take "inf", "nan" and hex.
  size_t pos = 0;
  if (pos < s.size() && s[pos] == '-') ++pos;
  size_t mantissa_digits = 0;
  while (pos < s.size() && IsDigit(s[pos])) ++pos, ++mantissa_digits;
  if (pos < s.size() && s[pos] == '.') {
    ++pos;
    while (pos < s.size() && IsDigit(s[pos])) ++pos, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return false;
  if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
    ++pos;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) ++pos;
    size_t exponent_digits = 0;
    while (pos < s.size() && IsDigit(s[pos])) ++pos, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  if (pos != s.size()) return false;
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (end != s.data() + s.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    // Tiny values that underflow read as zero; overflow fails.
    if (DecimalOrder(s) >= 0) return false;
    v = 0.0;
  } else if (ec != std::errc()) {
    return false;
  }
  *value = v;
  return true;
}

bool ParseBcdLiteral(std::string_view text, char decimal_separator, int64_t* scaled) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  // The regional separator, and also '.', the decimal point of SQL texts, so
  // that a DEFAULT 1.5 written by SQL reads whatever the regional setting.
  size_t point = std::string_view::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsDigit(s[i])) continue;
    if ((s[i] == decimal_separator || s[i] == '.') && point == std::string_view::npos) {
      point = i;
      continue;
    }
    return false;
  }
  std::string_view whole = s.substr(0, point);
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
  if (whole.empty() && fraction.empty()) return false;

  const uint64_t limit =
      static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0);
  uint64_t magnitude = 0;
  auto push = [&](int d) {
    if (magnitude > (limit - static_cast<uint64_t>(d)) / 10) return false;
    magnitude = magnitude * 10 + static_cast<uint64_t>(d);
    return true;
  };
  for (char c : whole) {
    if (!push(c - '0')) return false;
  }
  for (size_t i = 0; i < 4; ++i) {
    if (!push(i < fraction.size() ? fraction[i] - '0' : 0)) return false;
  }
  if (fraction.size() > 4 && fraction[4] >= '5') {
    if (magnitude == limit) return false;
    ++magnitude;
  }
  *scaled = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

std::string FormatDate(int32_t day_number) {
  int y, m, d;
  DecodeDate(day_number, &y, &m, &d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

std::string FormatTime(int32_t ms_of_day) {
  int h, m, s, ms;
  DecodeTime(ms_of_day, &h, &m, &s, &ms);
  std::string out = TwoDigits(h) + ":" + TwoDigits(m);
  // Seconds also when only the milliseconds are set, so that no part of the
  // value is lost in the text.
  if (s != 0 || ms != 0) out += ":" + TwoDigits(s);
  if (ms != 0) out += "." + std::to_string(ms);
  return out;
}

std::string FormatTimestamp(double timestamp) {
  int32_t day, ms;
  SplitTimestamp(timestamp, &day, &ms);
  return FormatDate(day) + " " + FormatTime(ms);
}

std::string FormatBoolean(bool value) { return value ? "True" : "False"; }

std::string FormatInteger(int64_t value) { return std::to_string(value); }

std::string FormatFloat(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  // 15 significant digits as d.dddddddddddddde±x, then laid out by hand.
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  (void)ec;
  std::string_view sci(buf, static_cast<size_t>(end - buf));
  const bool negative = sci[0] == '-';
  if (negative) sci.remove_prefix(1);
  const size_t e = sci.find('e');
  int exponent = 0;
  std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(),
                  exponent);
  std::string digits;
  for (char c : sci.substr(0, e)) {
    if (c != '.') digits.push_back(c);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (std::fabs(value) < 0.00001 || exponent >= 15) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exponent);
  } else if (exponent < 0) {
    out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else {
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out += digits + std::string(whole - digits.size(), '0');
    } else {
      out += digits.substr(0, whole) + "." + digits.substr(whole);
    }
  }
  return out;
}

std::string FormatBcd(int64_t scaled, char decimal_separator) {
  const bool negative = scaled < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string out = negative ? "-" : "";
  out += std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) out += decimal_separator + fraction;
  return out;
}

std::string InvalidLiteralMessage(LiteralKind kind, std::string_view text) {
  const char* tail = "";
  switch (kind) {
    case LiteralKind::kDate:
      tail = "' is not a valid date";
      break;
    case LiteralKind::kTime:
      tail = "' is not a valid time";
      break;
    case LiteralKind::kTimestamp:
      tail = "' is not a valid date and time";
      break;
    case LiteralKind::kBoolean:
      tail = "' is not a valid boolean value";
      break;
    case LiteralKind::kSmallInt:
    case LiteralKind::kInteger:
    case LiteralKind::kWord:
    case LiteralKind::kLargeInt:
      tail = "' is not a valid integer value";
      break;
    case LiteralKind::kFloat:
      tail = "' is not a valid floating point value";
      break;
    case LiteralKind::kBcd:
      tail = "' is not a valid BCD value";
      break;
  }
  return "'" + std::string(text) + tail;
}

void RaiseInvalidLiteral(LiteralKind kind, std::string_view text) {
  throw EConvertError(InvalidLiteralMessage(kind, text));
}

bool IsValidFieldLiteral(int field_type, std::string_view text, char decimal_separator) {
  if (text.empty()) return true;
  int32_t i32;
  int16_t i16;
  uint16_t u16;
  int64_t i64;
  double f;
  bool b;
  switch (field_type) {
    case 1:   // string
    case 3:   // blob
    case 9:   // bytes
    case 15:  // variable bytes
      return true;
    case 2:
      return EqualsIgnoreCase(text, "CURRENT_DATE") || ParseDateLiteral(text, &i32);
    case 10:
      return EqualsIgnoreCase(text, "CURRENT_TIME") || ParseTimeLiteral(text, &i32);
    case 11:
      return EqualsIgnoreCase(text, "CURRENT_TIMESTAMP") ||
             EqualsIgnoreCase(text, "CURRENT_DATE") || EqualsIgnoreCase(text, "CURRENT_TIME") ||
             ParseDateLiteral(text, &i32) || ParseTimestampLiteral(text, &f) ||
             ParseTimeLiteral(text, &i32);
    case 4:
      return ParseBooleanLiteral(text, &b);
    case 5:
      return ParseSmallIntLiteral(text, &i16);
    case 6:
      return ParseIntegerLiteral(text, &i32);
    case 7:
      return ParseFloatLiteral(text, &f);
    case 8:
      return ParseBcdLiteral(text, decimal_separator, &i64);
    case 12:
      return ParseWordLiteral(text, &u16);
    case 18:
      return ParseLargeIntLiteral(text, &i64);
    default:
      return false;
  }
}

}  // namespace ficha
