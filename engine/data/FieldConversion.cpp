// Conversion of field values between types. Rules by source type (anything
// not listed fails):
//
//   same type     strings and byte fields cut to the target size; other
//                 types copied unchanged
//   1 string      2, 10, 11 read as date, time, timestamp literal; 4 read
//                 as boolean; 5, 6, 12, 18 read as integer of that width;
//                 7 read as float; 8 read with four decimals, then rounded
//                 to the target's places; 9, 15 its bytes, cut
//   2 date        1 as text; 11 at midnight
//   4 boolean     1 as text; 5, 6, 12, 18 0 or 1; 8 0 or 1.0000
//   5 smallint    1 decimal text; 4 0 and 1 kept, all else 1; 6, 18
//                 widened with sign; 7 as float; 8 as BCD; 12 low 16 bits
//   6 integer     1; 5, 12 low 16 bits; 7; 8; 18 widened
//   7 float       1 as text; 5, 6, 12, 18 truncated toward zero, cut to the
//                 width; 8 x 10,000 rounded, as BCD
//   8 BCD         1 as text; 5, 6, 12, 18 truncated toward zero, cut to the
//                 width; 7 as float
//   9, 15 bytes   3 fails; any other type the raw bytes, cut
//   10 time       1 as text; 11 that time on 1899-12-30
//   11 timestamp  1 as text; 2 its date; 10 its time
//   12 word       1; 4 0 and 1 kept, all else 1; 5 reinterpreted signed;
//                 6, 18 widened; 7; 8
//   18 largeint   1; 5, 12 low 16 bits; 6 low 32 bits; 7; 8
//   blob, 13, 14  success, the target left as it is
// Every listed source type also converts to 9 and 15 as its raw bytes, cut.
//
// Numbers written as text must fit the target string whole: a cut number or
// date would be a different value, so such a conversion fails instead. Raw
// bytes copied into a string target leave room for its terminating zero.
#include "engine/data/FieldConversion.h"

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/data/BcdField.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "lib/literal/DateTimeValue.h"
#include "lib/literal/Literal.h"

namespace ficha {
namespace {

struct Target {
  uint8_t type;
  uint8_t* data;
  size_t size;
  uint8_t decimals;
};

std::string_view SourceText(const uint8_t* src, size_t size) {
  const void* zero = std::memchr(src, 0, size);
  size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - src) : size;
  return std::string_view(reinterpret_cast<const char*>(src), n);
}

// Copies raw bytes, cut to the target (leaving a string's terminator).
bool PutRaw(const Target& t, const uint8_t* src, size_t src_size) {
  size_t room = t.size;
  if (t.type == kFldString && room > 0) --room;
  size_t n = src_size < room ? src_size : room;
  std::memcpy(t.data, src, n);
  return true;
}

bool PutText(const Target& t, std::string_view text, bool may_cut) {
  if (t.size == 0) return false;
  size_t room = t.size - 1;
  if (text.size() > room && !may_cut) return false;
  size_t n = text.size() < room ? text.size() : room;
  std::memcpy(t.data, text.data(), n);
  return true;
}

// An integer value into an integer, boolean, float or BCD target; integers
// keep the low bits that fit their width.
bool PutInteger(const Target& t, int64_t v) {
  switch (t.type) {
    case kFldSmallInt:
    case kFldWord:
      PutU16(t.data, static_cast<uint16_t>(v));
      return true;
    case kFldInteger:
      PutI32(t.data, static_cast<int32_t>(v));
      return true;
    case kFldLargeInt:
      PutI64(t.data, v);
      return true;
    case kFldFloat:
      PutF64(t.data, static_cast<double>(v));
      return true;
    case kFldBcd: {
      if (v > INT64_MAX / kBcdScale || v < INT64_MIN / kBcdScale) return false;
      return PutBcdValue(t.data, v * kBcdScale, t.decimals);
    }
    default:
      return false;
  }
}

bool IsIntegerType(uint8_t type) {
  return type == kFldSmallInt || type == kFldInteger || type == kFldWord || type == kFldLargeInt;
}

bool IsRawTarget(uint8_t type) { return type == kFldBytes || type == kFldVarBytes; }

bool FromString(const Target& t, std::string_view text) {
  switch (t.type) {
    case kFldDate: {
      int32_t day;
      if (!ParseDateLiteral(text, &day)) return false;
      PutI32(t.data, day);
      return true;
    }
    case kFldTime: {
      int32_t ms;
      if (!ParseTimeLiteral(text, &ms)) return false;
      PutI32(t.data, ms);
      return true;
    }
    case kFldTimestamp: {
      double ts;
      if (!ParseTimestampLiteral(text, &ts)) return false;
      PutF64(t.data, ts);
      return true;
    }
    case kFldBoolean: {
      bool b;
      if (!ParseBooleanLiteral(text, &b)) return false;
      PutU16(t.data, b ? 1 : 0);
      return true;
    }
    case kFldSmallInt: {
      int16_t v;
      if (!ParseSmallIntLiteral(text, &v)) return false;
      PutI16(t.data, v);
      return true;
    }
    case kFldInteger: {
      int32_t v;
      if (!ParseIntegerLiteral(text, &v)) return false;
      PutI32(t.data, v);
      return true;
    }
    case kFldWord: {
      uint16_t v;
      if (!ParseWordLiteral(text, &v)) return false;
      PutU16(t.data, v);
      return true;
    }
    case kFldLargeInt: {
      int64_t v;
      if (!ParseLargeIntLiteral(text, &v)) return false;
      PutI64(t.data, v);
      return true;
    }
    case kFldFloat: {
      double v;
      if (!ParseFloatLiteral(text, &v)) return false;
      PutF64(t.data, v);
      return true;
    }
    case kFldBcd: {
      int64_t scaled;
      if (!ParseBcdLiteral(text, &scaled)) return false;
      return PutBcdValue(t.data, scaled, t.decimals);
    }
    case kFldBytes:
    case kFldVarBytes:
      return PutRaw(t, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    default:
      return false;
  }
}

// A truncated real value into an integer target; false when it has no
// integer value (not finite, or beyond 64 bits).
bool PutTruncated(const Target& t, double v) {
  if (!std::isfinite(v)) return false;
  double truncated = std::trunc(v);
  if (truncated >= 9223372036854775808.0 || truncated < -9223372036854775808.0) return false;
  return PutInteger(t, static_cast<int64_t>(truncated));
}

bool Convert(uint8_t src_type, const uint8_t* src, size_t src_size, const Target& t) {
  if (src_type == t.type) {
    if (src_type == kFldString) return PutText(t, SourceText(src, src_size), true);
    if (IsRawTarget(src_type)) return PutRaw(t, src, src_size);
    std::memcpy(t.data, src, src_size < t.size ? src_size : t.size);
    return true;
  }
  if (src_type == kFldBlob || src_type == kFldType13 || src_type == kFldType14) return true;
  if (IsRawTarget(src_type)) {
    if (t.type == kFldBlob) return false;
    return PutRaw(t, src, src_size);
  }
  if (IsRawTarget(t.type)) {
    return IsKnownFieldType(src_type) && PutRaw(t, src, src_size);
  }
  switch (src_type) {
    case kFldString:
      return FromString(t, SourceText(src, src_size));
    case kFldDate: {
      int32_t day = GetI32(src);
      if (t.type == kFldString) return PutText(t, FormatDate(day), false);
      if (t.type == kFldTimestamp) {
        PutF64(t.data, MakeTimestamp(day, 0));
        return true;
      }
      return false;
    }
    case kFldBoolean: {
      bool b = GetU16(src) != 0;
      if (t.type == kFldString) return PutText(t, FormatBoolean(b), false);
      if (IsIntegerType(t.type) || t.type == kFldBcd) return PutInteger(t, b ? 1 : 0);
      return false;
    }
    case kFldSmallInt:
    case kFldWord: {
      int64_t v = src_type == kFldSmallInt ? GetI16(src) : GetU16(src);
      if (t.type == kFldString) return PutText(t, FormatInteger(v), false);
      if (t.type == kFldBoolean) {
        PutU16(t.data, v == 0 ? 0 : 1);
        return true;
      }
      if (src_type == kFldWord && t.type == kFldSmallInt) {
        PutI16(t.data, static_cast<int16_t>(static_cast<uint16_t>(v)));
        return true;
      }
      return PutInteger(t, v);
    }
    case kFldInteger:
    case kFldLargeInt: {
      int64_t v = src_type == kFldInteger ? GetI32(src) : GetI64(src);
      if (t.type == kFldString) return PutText(t, FormatInteger(v), false);
      return PutInteger(t, v);
    }
    case kFldFloat: {
      double v = GetF64(src);
      if (t.type == kFldString) return PutText(t, FormatFloat(v), false);
      if (IsIntegerType(t.type)) return PutTruncated(t, v);
      if (t.type == kFldBcd) {
        if (!std::isfinite(v)) return false;
        double scaled = std::round(v * static_cast<double>(kBcdScale));
        if (scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0) return false;
        return PutBcdValue(t.data, static_cast<int64_t>(scaled), t.decimals);
      }
      return false;
    }
    case kFldBcd: {
      int64_t scaled;
      if (!GetBcdValue(src, &scaled)) return false;
      if (t.type == kFldString) return PutText(t, FormatBcd(scaled), false);
      if (IsIntegerType(t.type)) return PutInteger(t, scaled / kBcdScale);
      if (t.type == kFldFloat) {
        PutF64(t.data, static_cast<double>(scaled) / static_cast<double>(kBcdScale));
        return true;
      }
      return false;
    }
    case kFldTime: {
      int32_t ms = GetI32(src);
      if (t.type == kFldString) return PutText(t, FormatTime(ms), false);
      if (t.type == kFldTimestamp) {
        PutF64(t.data, MakeTimestamp(kDayNumber18991230, ms));
        return true;
      }
      return false;
    }
    case kFldTimestamp: {
      double ts = GetF64(src);
      // Not a number or infinite: a damaged value that names no instant.
      if (!std::isfinite(ts)) return false;
      if (t.type == kFldString) return PutText(t, FormatTimestamp(ts), false);
      if (t.type == kFldDate || t.type == kFldTime) {
        int32_t day;
        int32_t ms;
        SplitTimestamp(ts, &day, &ms);
        PutI32(t.data, t.type == kFldDate ? day : ms);
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

}  // namespace

bool ConvertFieldValue(uint8_t src_type, const uint8_t* src, size_t src_size, uint8_t dst_type,
                       uint8_t* dst, size_t dst_size, uint8_t dst_decimals) {
  if (src_type == kFldBlob || src_type == kFldType13 || src_type == kFldType14) {
    if (src_type != dst_type) return true;
  }
  std::memset(dst, 0, dst_size);
  Target t{dst_type, dst, dst_size, dst_decimals};
  if (Convert(src_type, src, src_size, t)) return true;
  std::memset(dst, 0, dst_size);
  return false;
}

}  // namespace ficha
