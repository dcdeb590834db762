// Conversion of a field value between field types, used when a table is
// altered and when the SQL layer assigns values. The rules, per source type,
// are in FieldConversion.cpp; text forms are the literal module's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ficha {

// Converts the value bytes src (src_size physical bytes of type src_type)
// into dst (dst_size physical bytes of dst_type, with dst_decimals decimal
// places for BCD). Returns false when the conversion is not defined or the
// value does not read as the target type; dst is then zero-filled (an empty
// text for string targets). A blob source (and types 13 and 14) converts
// to another type by leaving dst as it is, with success; otherwise dst is
// always written in full. A string source is read up to its first zero byte
// within src_size.
bool ConvertFieldValue(uint8_t src_type, const uint8_t* src, size_t src_size, uint8_t dst_type,
                       uint8_t* dst, size_t dst_size, uint8_t dst_decimals);

}  // namespace ficha
