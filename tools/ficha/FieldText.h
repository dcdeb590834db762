// Readable text of field values, for the listings of the ficha tool.
//
// Stored text is Windows-1252 and leaves as UTF-8. Two styles:
//  - plain: tab-separated; text in double quotes with C-style escapes
//    (\" \\ \t \n \r \xNN), so that an empty text ("") and NULL differ;
//    binary values as 0x followed by hex digits.
//  - CSV: comma-separated, RFC 4180 quoting; text and binary values always
//    quoted, NULL an empty unquoted field.
// Dates are YYYY-MM-DD, times HH:MM:SS[.mmm], timestamps
// YYYY-MM-DDTHH:MM:SS[.mmm], booleans true/false, BCD values with the
// field's decimal places.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data/FieldDef.h"

namespace ficha {

enum class TListStyle { kPlain, kCsv };

// Text of a text value (given in Windows-1252) in the style.
std::string QuoteText(std::string_view cp1252, TListStyle style);
// Text of a binary value in the style.
std::string QuoteBinary(const uint8_t* data, size_t length, TListStyle style);
// The marker of a null value.
std::string NullText(TListStyle style);
// The separator between columns.
std::string_view ColumnSeparator(TListStyle style);
// A column heading (field name) in the style.
std::string HeadingText(std::string_view cp1252_name, TListStyle style);

// The value of a non-blob field of record in the style (NullText for null).
// Blob fields need their content: see BlobValueText.
std::string FieldValueText(const uint8_t* record, const TFieldDef& def, TListStyle style);

// A blob's content: memo and formatted memo as text, every other subtype as
// binary.
std::string BlobValueText(const TFieldDef& def, const std::vector<uint8_t>& content,
                          TListStyle style);

// Plain renderings used by the listings and by info.
std::string DateText(int32_t day_number);
std::string TimeText(int32_t ms_of_day);
std::string TimestampText(double timestamp);
std::string BcdText(int64_t scaled, int decimals);
std::string FloatText(double value);

}  // namespace ficha
