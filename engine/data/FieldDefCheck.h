// Checks of field definitions: those of a new table before it is created,
// and those read from an existing data file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/data/FieldDef.h"

namespace ficha {

// True when c may start a field or index name: a letter, "_" or a code from
// 128 to 254.
bool IsIdentifierStart(unsigned char c);

// The name as compared: trimmed of blanks and control characters, in ASCII
// upper case.
std::string FieldNameKey(std::string_view name);

// Checks and completes the field definitions of a new table, in field order,
// raising with the table's name and the field's name:
//   10038 a name that is empty after trimming, longer than 30 characters,
//         starts with a character that cannot start a name, or repeats
//         another field's name (ignoring case);
//   10000 a field number used twice, a type 0 or unknown, a string, bytes
//         or variable-bytes size outside 1 to 250;
//   10006 a default, minimum or maximum that is not a valid literal.
// Completes: trimmed names, declared size 0 for other types, 0 decimals for
// types other than BCD, physical sizes and offsets. Table-wide limits
// (fields, indexes, blob block size, password, language) are checked by
// CheckNewTableLimits first.
void CheckNewFieldDefs(std::string_view table_name, std::vector<TFieldDef>& defs);

// The table-wide limits of a new table, in this order: 10015 an encrypted
// table without a password of 1 to 15 characters after trimming; 15878 a
// language other than 0 that is not installed; 9492 more than 1024 fields;
// 9487 more than 32 index definitions; 9498 a blob block size below 64.
void CheckNewTableLimits(std::string_view table_name, bool encrypted, std::string_view password,
                         uint16_t language, uint16_t sort, size_t field_count, size_t index_count,
                         uint16_t blob_block_size);

// Whether text is a valid default, minimum or maximum for the field type.
bool IsValidFieldLiteralFor(uint8_t type, std::string_view text);

}  // namespace ficha
