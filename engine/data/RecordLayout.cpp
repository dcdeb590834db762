// Record layout, little-endian:
//
//   offset  width      content
//   0       1          deleted flag: 0 active, 1 deleted (on the chain)
//   1       4 signed   deleted: next deleted record (0 ends the chain);
//                      active: its own record number
//   5       4 signed   row identifier (the autoincrement value)
//   9 ...              the fields in field-number order at their offsets
//
// Each field other than an autoincrement field takes 1 + physical size
// bytes: a null byte (1 = has a value, 0 = null) and the value. An
// autoincrement field has no bytes of its own: its offset is 5 and it reads
// the row identifier. Calculated columns take nothing. Record size = 9 + the
// sum of (physical size + 1) over the fields that take space.
#include "engine/data/RecordLayout.h"

#include <cstring>

#include "engine/data/FieldTypes.h"

namespace ficha {

int64_t AssignFieldLayout(std::vector<TFieldDef>& defs) {
  int64_t offset = kRecordPrefixSize;
  for (TFieldDef& def : defs) {
    int size = FieldPhysicalSize(def.type, def.size);
    if (size < 0) return -1;
    def.phys_size = static_cast<uint8_t>(size);
    def.phys_decimals = def.decimals;
    if (def.calculated) {
      def.offset = 0;
    } else if (IsAutoIncField(def.type, def.subtype)) {
      def.offset = kRecordRowIdOffset;
    } else {
      // Offsets beyond 16 bits only occur in records the caller refuses as
      // too large; the running total stays exact.
      def.offset = static_cast<uint16_t>(offset);
      offset += size + 1;
    }
  }
  return offset;
}

bool FieldIsNull(const uint8_t* record, const TFieldDef& def) {
  if (def.calculated) return true;
  if (IsAutoIncField(def.type, def.subtype)) return false;
  return record[def.offset] == 0;
}

const uint8_t* FieldValue(const uint8_t* record, const TFieldDef& def) {
  if (def.calculated) return nullptr;
  if (IsAutoIncField(def.type, def.subtype)) return record + kRecordRowIdOffset;
  return record + def.offset + 1;
}

uint8_t* FieldValue(uint8_t* record, const TFieldDef& def) {
  return const_cast<uint8_t*>(FieldValue(static_cast<const uint8_t*>(record), def));
}

void SetFieldHasValue(uint8_t* record, const TFieldDef& def, bool has_value) {
  if (def.calculated || IsAutoIncField(def.type, def.subtype)) return;
  record[def.offset] = has_value ? 1 : 0;
}

}  // namespace ficha
