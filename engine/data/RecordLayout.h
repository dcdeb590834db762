// Layout of a record: a 9-byte prefix followed by the fields (byte layout in
// RecordLayout.cpp). Helpers here read and write the prefix and locate field
// values; they never check the buffer size, which is the record size of the
// table the definitions belong to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/LittleEndian.h"
#include "engine/data/FieldDef.h"

namespace ficha {

constexpr size_t kRecordPrefixSize = 9;
constexpr size_t kRecordDeletedOffset = 0;  // 1 byte: 0 active, 1 deleted
constexpr size_t kRecordLinkOffset = 1;     // 4 bytes: own number, or next deleted
constexpr size_t kRecordRowIdOffset = 5;    // 4 bytes: row identifier
// Largest record the 16-bit record-size field of the header can describe.
constexpr uint32_t kMaxRecordSize = 65535;

// Record prefix.
inline bool RecordIsDeleted(const uint8_t* record) { return record[kRecordDeletedOffset] != 0; }
inline void SetRecordDeleted(uint8_t* record, bool deleted) {
  record[kRecordDeletedOffset] = deleted ? 1 : 0;
}
inline int32_t RecordLink(const uint8_t* record) { return GetI32(record + kRecordLinkOffset); }
inline void SetRecordLink(uint8_t* record, int32_t link) {
  PutI32(record + kRecordLinkOffset, link);
}
inline int32_t RecordRowId(const uint8_t* record) { return GetI32(record + kRecordRowIdOffset); }
inline void SetRecordRowId(uint8_t* record, int32_t row_id) {
  PutI32(record + kRecordRowIdOffset, row_id);
}

// Derives phys_size and phys_decimals from type and declared size and assigns
// offsets: 5 for autoincrement fields, nothing for calculated columns (offset
// 0), the others consecutively from 9 by phys_size + 1. Returns the record
// size (9 + the sum of phys_size + 1 over the fields that take space), or -1
// when a field has a type code that is not known.
int64_t AssignFieldLayout(std::vector<TFieldDef>& defs);

// True when the field has no value. Autoincrement fields are never null;
// calculated columns have no bytes and report null.
bool FieldIsNull(const uint8_t* record, const TFieldDef& def);

// The field's value bytes (phys_size of them): the row identifier for an
// autoincrement field, else the bytes after the null byte. Null for a
// calculated column.
const uint8_t* FieldValue(const uint8_t* record, const TFieldDef& def);
uint8_t* FieldValue(uint8_t* record, const TFieldDef& def);

// Sets the null byte (1 = has a value). Does nothing for autoincrement fields
// and calculated columns.
void SetFieldHasValue(uint8_t* record, const TFieldDef& def, bool has_value);

}  // namespace ficha
