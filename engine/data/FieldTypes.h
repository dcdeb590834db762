// Field types of table columns and their storage sizes.
//
// A field's type code (1 to 18) and subtype decide how its value is stored in
// a record: the physical size below is the number of value bytes, not counting
// the null byte that precedes every value (see RecordLayout.h). The same codes
// type the values of expressions and the fields of datasets.
#pragma once

#include <cstdint>

namespace ficha {

// Type codes.
constexpr uint8_t kFldUnknown = 0;     // never valid in a definition
constexpr uint8_t kFldString = 1;      // declared size + 1: zero-terminated 8-bit text
constexpr uint8_t kFldDate = 2;        // 4: signed day number, 0001-01-01 = 1
constexpr uint8_t kFldBlob = 3;        // 8: blob reference
constexpr uint8_t kFldBoolean = 4;     // 2: 16-bit 0 or 1 (any non-zero reads as 1)
constexpr uint8_t kFldSmallInt = 5;    // 2: signed 16-bit
constexpr uint8_t kFldInteger = 6;     // 4: signed 32-bit
constexpr uint8_t kFldFloat = 7;       // 8: IEEE double
constexpr uint8_t kFldBcd = 8;         // 34: packed decimal (Bcd.h)
constexpr uint8_t kFldBytes = 9;       // declared size: raw bytes
constexpr uint8_t kFldTime = 10;       // 4: signed milliseconds since midnight
constexpr uint8_t kFldTimestamp = 11;  // 8: double, day number * 86400000 + ms
constexpr uint8_t kFldWord = 12;       // 2: unsigned 16-bit
constexpr uint8_t kFldType13 = 13;     // 4: no definition produces it
constexpr uint8_t kFldType14 = 14;     // 10: no definition produces it
constexpr uint8_t kFldVarBytes = 15;   // declared size: raw bytes
constexpr uint8_t kFldLargeInt = 18;   // 8: signed 64-bit

// Subtypes (0 = none).
constexpr uint8_t kSubNone = 0;
constexpr uint8_t kSubMoney = 21;          // float
constexpr uint8_t kSubMemo = 22;           // blob
constexpr uint8_t kSubFormattedMemo = 24;  // blob
constexpr uint8_t kSubGraphic = 26;        // blob
constexpr uint8_t kSubTypedBinary = 28;    // blob
constexpr uint8_t kSubAutoInc = 29;        // integer: reads the record's row identifier
constexpr uint8_t kSubFixedText = 31;      // string
constexpr uint8_t kSubWideText = 32;       // string, stored like the others

// Largest declared size of string, bytes and variable-bytes fields.
constexpr uint8_t kMaxDeclaredFieldSize = 250;

// True for the type codes listed above (1-15 and 18).
bool IsKnownFieldType(uint8_t type);

// True for types whose size is declared by the definition (1, 9, 15).
bool HasDeclaredSize(uint8_t type);

// Physical size of a value of this type in a record; -1 for a type code that
// is not known. declared_size matters only for types 1, 9 and 15.
int FieldPhysicalSize(uint8_t type, uint8_t declared_size);

// True for an autoincrement field (integer with subtype 29).
inline bool IsAutoIncField(uint8_t type, uint8_t subtype) {
  return type == kFldInteger && subtype == kSubAutoInc;
}

}  // namespace ficha
