#include "engine/index/IndexHeader.h"

#include <cstring>

namespace ficha {

TIndexDef TIndexDef::Decode(const uint8_t* slot) {
  TIndexDef d;
  int len = slot[0];
  if (len > kMaxIndexNameLength) len = kMaxIndexNameLength;
  d.name.assign(reinterpret_cast<const char*>(slot + 1), len);
  d.key_size = GetLE16(slot + 31);
  d.descending = slot[33] != 0;
  d.case_insensitive = slot[34] != 0;
  d.unique = slot[35] != 0;
  d.compression = slot[36];
  d.field_count = slot[37];
  for (int i = 0; i < kMaxKeyFields; ++i) {
    d.field_descending[i] = slot[38 + i];
    d.field_numbers[i] = GetLE16(slot + 54 + 2 * i);
  }
  d.root_page = GetLE32(slot + 86);
  d.first_free_page = GetLE32(slot + 90);
  d.reserved94 = GetLE16(slot + 94);
  d.first_settings_page = GetLE32(slot + 96);
  d.no_counts = slot[100] != 0;
  d.temporary = slot[101] != 0;
  return d;
}

void TIndexDef::Encode(uint8_t* slot) const {
  std::memset(slot, 0, kIndexSlotSize);
  const size_t len = name.size() > kMaxIndexNameLength ? kMaxIndexNameLength : name.size();
  slot[0] = static_cast<uint8_t>(len);
  std::memcpy(slot + 1, name.data(), len);
  PutLE16(slot + 31, key_size);
  slot[33] = descending;
  slot[34] = case_insensitive;
  slot[35] = unique;
  slot[36] = compression;
  slot[37] = field_count;
  for (int i = 0; i < kMaxKeyFields; ++i) {
    slot[38 + i] = field_descending[i];
    PutLE16(slot + 54 + 2 * i, field_numbers[i]);
  }
  PutLE32(slot + 86, root_page);
  PutLE32(slot + 90, first_free_page);
  PutLE16(slot + 94, reserved94);
  PutLE32(slot + 96, first_settings_page);
  slot[100] = no_counts;
  slot[101] = temporary;
}

}  // namespace ficha
