// One field (column) definition of a table: its in-memory form and its
// 768-byte image in the data file (byte layout in FieldDef.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ficha {

constexpr size_t kFieldDefSize = 768;
constexpr size_t kMaxFieldNameLength = 30;
constexpr size_t kMaxFieldDescriptionLength = 50;
constexpr size_t kMaxFieldLiteralLength = 50;  // minimum, maximum, default

// Character case applied to strings on write.
constexpr uint8_t kCaseUnchanged = 0;
constexpr uint8_t kCaseLower = 1;
constexpr uint8_t kCaseUpper = 2;

// In-memory field definition. Texts are 8-bit bytes; on disk each is cut to
// its width. phys_size, phys_decimals and offset are derived from type and
// declared size (AssignFieldLayout in RecordLayout.h); callers building a new
// table fill the declared members only.
struct TFieldDef {
  uint16_t number = 0;      // 1 ... field count, equal to the position
  std::string name;         // at most 30 characters
  std::string description;  // at most 50 characters
  uint8_t type = 0;         // FieldTypes.h
  uint8_t subtype = 0;
  uint8_t size = 0;           // declared: characters (1) or bytes (9, 15); else 0
  uint8_t decimals = 0;       // declared decimal places: BCD only
  uint8_t phys_size = 0;      // value bytes in the record
  uint8_t phys_decimals = 0;  // copy of decimals
  uint16_t offset = 0;        // offset of the null byte; 5 for autoincrement
  bool required = false;
  uint8_t char_case = kCaseUnchanged;
  std::string min_value;  // text literals, empty for none
  std::string max_value;
  std::string default_value;
  bool calculated = false;  // result-table column computed by SQL; no record bytes
  // Parsed expression of a calculated column. Not owned and never written to
  // disk (the image holds zeros there); the SQL layer that sets it keeps it
  // alive while the definition is used.
  const void* expression = nullptr;
};

// A new field's definition from what a table definition states; everything
// else (offsets, physical sizes, limits) keeps its default until the table
// is laid out.
TFieldDef MakeFieldDef(uint16_t number, std::string_view name, uint8_t type, uint8_t size = 0,
                       uint8_t subtype = 0, uint8_t decimals = 0);

// Writes the 768-byte image of def into out. Texts longer than their width are
// cut; the expression is never written.
void EncodeFieldDef(const TFieldDef& def, uint8_t* out);

// Reads a 768-byte image. A length byte larger than its field's width is taken
// as the width, so a damaged image never reads beyond its field.
TFieldDef DecodeFieldDef(const uint8_t* in);

}  // namespace ficha
