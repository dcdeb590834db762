// The 4096-byte header of an index file and its 120-byte index slots.
//
// Header (integers little-endian; string[n] = length byte + n bytes):
//   0    4    change count, incremented before every header write
//   4    4    zero
//   8    1    format version, always 5
//   9    4    next page number: pages in the file + 1 (shared by all indexes)
//   13   1    number of secondary indexes (slots 1 .. n in use)
//   14   120  index slot i at 14 + 120 * i, i = 0 .. 32
//   3974 4    number of active records in the table
//   3978 1    no-primary-index flag
//   3979 1    1 when the header changed since it was read (ignored on read)
//   3980 116  zero
//
// Slot 0 is the primary index, 1..30 secondary indexes, 31 "Sys Deleted"
// (every record slot), 32 "Sys Text" (words of text fields).
//
// Index slot:
//   0    string[30]  name (empty for the primary index)
//   31   2   key size (0 = slot not in use), at most 526
//   33   1   descending (whole index)
//   34   1   case-insensitive
//   35   1   unique: keys carry no row-identifier suffix
//   36   1   leaf compression: 0 none, 1 duplicate bytes, 2 trailing bytes, 3 both
//   37   1   number of key fields, at most 16
//   38   16  per-field descending flags
//   54   32  key field numbers, 16 x uint16
//   86   4   root page (0 = empty)
//   90   4   first free page; survives the removal of the index
//   94   2   zero (kept as found)
//   96   4   first settings page (text index only)
//   100  1   no-counts: inner entries carry no key counts
//   101  1   temporary: lives in a temporary file, never written here
//   102  18  zero
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/LittleEndian.h"

namespace ficha {

constexpr int kIndexPageSize = 4096;
constexpr int kIndexHeaderSize = 4096;
constexpr int kIndexSlotSize = 120;
constexpr int kIndexSlotCount = 33;
constexpr int kIndexVersion = 5;
constexpr int kPrimaryIndex = 0;
constexpr int kMaxSecondaryIndexes = 30;
constexpr int kSysDeletedIndex = 31;
constexpr int kSysTextIndex = 32;
constexpr int kMaxKeyFields = 16;
constexpr int kMaxKeyFieldBytes = 522;
constexpr int kMaxKeySize = 526;
constexpr int kSysDeletedKeySize = 5;
constexpr int kSysTextKeySize = 68;
constexpr int kMaxIndexNameLength = 30;

// Header offsets.
constexpr int kIdxHdrChangeCount = 0;
constexpr int kIdxHdrVersion = 8;
constexpr int kIdxHdrNextPage = 9;
constexpr int kIdxHdrSecondaryCount = 13;
constexpr int kIdxHdrSlots = 14;
constexpr int kIdxHdrActiveRecords = 3974;
constexpr int kIdxHdrNoPrimary = 3978;
constexpr int kIdxHdrChanged = 3979;

enum class TLeafCompression : uint8_t { kNone = 0, kDuplicates = 1, kTrailing = 2, kBoth = 3 };

// One index slot, decoded. Value type.
struct TIndexDef {
  std::string name;
  uint16_t key_size = 0;
  bool descending = false;
  bool case_insensitive = false;
  bool unique = false;
  uint8_t compression = 0;
  uint8_t field_count = 0;
  std::array<uint8_t, kMaxKeyFields> field_descending{};
  std::array<uint16_t, kMaxKeyFields> field_numbers{};
  int32_t root_page = 0;
  int32_t first_free_page = 0;
  uint16_t reserved94 = 0;
  int32_t first_settings_page = 0;
  bool no_counts = false;
  bool temporary = false;

  bool InUse() const { return key_size != 0; }

  // REQUIRES: slot points at 120 bytes.
  static TIndexDef Decode(const uint8_t* slot);
  void Encode(uint8_t* slot) const;
};

}  // namespace ficha
