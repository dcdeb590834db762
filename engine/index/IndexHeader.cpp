#include "engine/index/IndexHeader.h"

#include <cstring>

#include "common/ShortString.h"

namespace ficha {

TIndexDef TIndexDef::Decode(const uint8_t* slot) {
  TIndexDef d;
  d.name = GetShortString(slot, kMaxIndexNameLength);
  d.key_size = GetU16(slot + 31);
  d.descending = slot[33] != 0;
  d.case_insensitive = slot[34] != 0;
  d.unique = slot[35] != 0;
  d.compression = slot[36];
  d.field_count = slot[37];
  for (int i = 0; i < kMaxKeyFields; ++i) {
    d.field_descending[i] = slot[38 + i];
    d.field_numbers[i] = GetU16(slot + 54 + 2 * i);
  }
  d.root_page = GetI32(slot + 86);
  d.first_free_page = GetI32(slot + 90);
  d.reserved94 = GetU16(slot + 94);
  d.first_settings_page = GetI32(slot + 96);
  d.no_counts = slot[100] != 0;
  d.temporary = slot[101] != 0;
  return d;
}

void TIndexDef::Encode(uint8_t* slot) const {
  std::memset(slot, 0, kIndexSlotSize);
  PutShortString(slot, name, kMaxIndexNameLength);
  PutU16(slot + 31, key_size);
  slot[33] = descending;
  slot[34] = case_insensitive;
  slot[35] = unique;
  slot[36] = compression;
  slot[37] = field_count;
  for (int i = 0; i < kMaxKeyFields; ++i) {
    slot[38 + i] = field_descending[i];
    PutU16(slot + 54 + 2 * i, field_numbers[i]);
  }
  PutI32(slot + 86, root_page);
  PutI32(slot + 90, first_free_page);
  PutU16(slot + 94, reserved94);
  PutI32(slot + 96, first_settings_page);
  slot[100] = no_counts;
  slot[101] = temporary;
}

}  // namespace ficha
