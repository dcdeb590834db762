#include "tools/ficha/FieldText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/data/BcdField.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "lib/lang/Cp1252.h"
#include "lib/literal/DateTimeValue.h"

namespace ficha {

namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string Hex(const uint8_t* data, size_t length) {
  std::string out;
  out.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    out += kHex[data[i] >> 4];
    out += kHex[data[i] & 15];
  }
  return out;
}

std::string CsvQuote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace

std::string QuoteText(std::string_view cp1252, TListStyle style) {
  std::string utf8 = Cp1252ToUtf8(cp1252);
  if (style == TListStyle::kCsv) return CsvQuote(utf8);
  std::string out = "\"";
  for (char c : utf8) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          out += "\\x";
          out += kHex[u >> 4];
          out += kHex[u & 15];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string QuoteBinary(const uint8_t* data, size_t length, TListStyle style) {
  if (style == TListStyle::kCsv) return CsvQuote(Hex(data, length));
  return "0x" + Hex(data, length);
}

std::string NullText(TListStyle style) { return style == TListStyle::kCsv ? "" : "NULL"; }

std::string_view ColumnSeparator(TListStyle style) {
  return style == TListStyle::kCsv ? "," : "\t";
}

std::string HeadingText(std::string_view cp1252_name, TListStyle style) {
  std::string utf8 = Cp1252ToUtf8(cp1252_name);
  return style == TListStyle::kCsv ? CsvQuote(utf8) : utf8;
}

std::string DateText(int32_t day_number) {
  int year = 0, month = 0, day = 0;
  DecodeDate(day_number, &year, &month, &day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::string TimeText(int32_t ms_of_day) {
  int hour = 0, minute = 0, second = 0, ms = 0;
  DecodeTime(ms_of_day, &hour, &minute, &second, &ms);
  char text[32];
  if (ms != 0) {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", hour, minute, second, ms);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
  }
  return text;
}

std::string TimestampText(double timestamp) {
  if (!std::isfinite(timestamp)) return FloatText(timestamp);
  int32_t day = 0, ms = 0;
  SplitTimestamp(timestamp, &day, &ms);
  return DateText(day) + "T" + TimeText(ms);
}

std::string BcdText(int64_t scaled, int decimals) {
  bool negative = scaled < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string whole = std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  if (decimals < 4) {
    fraction.resize(static_cast<size_t>(std::max(decimals, 0)));
  } else {
    fraction.append(static_cast<size_t>(decimals - 4), '0');
  }
  std::string out = negative ? "-" + whole : whole;
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

std::string FloatText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string FieldValueText(const uint8_t* record, const TFieldDef& def, TListStyle style) {
  if (def.calculated || FieldIsNull(record, def)) return NullText(style);
  const uint8_t* value = FieldValue(record, def);
  switch (def.type) {
    case kFldString: {
      size_t length = strnlen(reinterpret_cast<const char*>(value), def.phys_size);
      return QuoteText(std::string_view(reinterpret_cast<const char*>(value), length), style);
    }
    case kFldDate: {
      // Day 1 is 0001-01-01; anything before it is damage, not a date.
      const int32_t day = GetI32(value);
      if (day < 1) return "#invalid-date:" + std::to_string(day);
      return DateText(day);
    }
    case kFldBoolean:
      return GetU16(value) != 0 ? "true" : "false";
    case kFldSmallInt:
      return std::to_string(GetI16(value));
    case kFldInteger:
      return std::to_string(GetI32(value));
    case kFldFloat:
      return FloatText(GetF64(value));
    case kFldBcd: {
      int64_t scaled = 0;
      if (!GetBcdValue(value, &scaled)) return "#invalid-bcd:" + Hex(value, def.phys_size);
      return BcdText(scaled, def.decimals);
    }
    case kFldTime: {
      // A damaged value must not pass for a time of day.
      const int32_t ms = GetI32(value);
      if (ms < 0 || ms >= kMsPerDay) return "#invalid-time:" + std::to_string(ms);
      return TimeText(ms);
    }
    case kFldTimestamp:
      return TimestampText(GetF64(value));
    case kFldWord:
      return std::to_string(GetU16(value));
    case kFldLargeInt:
      return std::to_string(GetI64(value));
    default:  // bytes, variable bytes, types 13 and 14, blob references
      return QuoteBinary(value, def.phys_size, style);
  }
}

std::string BlobValueText(const TFieldDef& def, const std::vector<uint8_t>& content,
                          TListStyle style) {
  if (def.subtype == kSubMemo || def.subtype == kSubFormattedMemo) {
    return QuoteText(
        std::string_view(reinterpret_cast<const char*>(content.data()), content.size()), style);
  }
  return QuoteBinary(content.data(), content.size(), style);
}

}  // namespace ficha
