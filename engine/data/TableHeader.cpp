// Table header, the first 127 bytes of a data file, little-endian. string[n]
// is one length byte followed by n bytes of text, unused bytes zero.
//
//   offset  width        content
//   0       4 signed     change count, incremented before every header write
//   4       4 unsigned   blob block size: a 16-bit value stored zero-extended;
//                        read as its low 16 bits, as 512 when all 4 bytes are 0
//   8       1            format version, 5
//   9       4 signed     first deleted record (head of the chain, 0 = empty)
//   13      4 signed     next record number (record slots + 1)
//   17      4 signed     last row identifier given out
//   21      2 unsigned   record size
//   23      2 unsigned   field count
//   25      2 signed     number of blob fields
//   27      8            time of the last header write: IEEE double, local
//                        date-time (days since 1899-12-30) minus 693594.0
//   35      string[50]   table description (scrambled when encrypted)
//   86      1            encrypted (0 or 1)
//   87      string[15]   table password (scrambled; empty when not encrypted)
//   103     2 unsigned   language identifier (0 = "ANSI Standard")
//   105     2 unsigned   sort identifier
//   107     2 unsigned   user major version
//   109     2 unsigned   user minor version
//   111     1            1 when written after a change (normal), else 0;
//                        ignored on read
//   112     4 signed     last blob revision number given out
//   116     4 unsigned   writer version, 33000
//   120     4 unsigned   0
//   124     3            reserved, zero
//
// Scrambled strings keep their length byte plain; only the text bytes pass
// through the routine (Scramble.h).
#include "engine/data/TableHeader.h"

#include <algorithm>
#include <cstring>

#include "common/ShortString.h"
#include "engine/data/RecordLayout.h"
#include "lib/literal/DateTimeValue.h"

namespace ficha {
namespace {

constexpr double kHeaderTimeBias = 693594.0;

}  // namespace

uint16_t TTableHeader::BlobBlockSize() const {
  if (blob_block_size_raw == 0) return kDefaultBlobBlockSize;
  return static_cast<uint16_t>(blob_block_size_raw & 0xFFFF);
}

void EncodeTableHeader(const TTableHeader& h, uint8_t* out) {
  std::memset(out, 0, kTableHeaderSize);
  PutI32(out + 0, h.change_count);
  PutU32(out + 4, h.blob_block_size_raw);
  out[8] = h.version;
  PutI32(out + 9, h.first_deleted);
  PutI32(out + 13, h.next_record);
  PutI32(out + 17, h.last_row_id);
  PutU16(out + 21, h.record_size);
  PutU16(out + 23, h.field_count);
  PutI16(out + 25, h.blob_field_count);
  PutF64(out + 27, h.last_write_time);
  PutShortString(out + 35, h.description, kMaxTableDescriptionLength);
  out[86] = h.encrypted ? 1 : 0;
  PutShortString(out + 87, h.password, kMaxTablePasswordLength);
  PutU16(out + 103, h.language);
  PutU16(out + 105, h.sort);
  PutU16(out + 107, h.user_major);
  PutU16(out + 109, h.user_minor);
  out[111] = h.changed_flag;
  PutI32(out + 112, h.last_blob_revision);
  PutU32(out + 116, h.writer_version);
  PutU32(out + 120, h.reserved);
}

TTableHeader DecodeTableHeader(const uint8_t* in) {
  TTableHeader h;
  h.change_count = GetI32(in + 0);
  h.blob_block_size_raw = GetU32(in + 4);
  h.version = in[8];
  h.first_deleted = GetI32(in + 9);
  h.next_record = GetI32(in + 13);
  h.last_row_id = GetI32(in + 17);
  h.record_size = GetU16(in + 21);
  h.field_count = GetU16(in + 23);
  h.blob_field_count = GetI16(in + 25);
  h.last_write_time = GetF64(in + 27);
  h.description = GetShortString(in + 35, kMaxTableDescriptionLength);
  h.encrypted = in[86] != 0;
  h.password = GetShortString(in + 87, kMaxTablePasswordLength);
  h.language = GetU16(in + 103);
  h.sort = GetU16(in + 105);
  h.user_major = GetU16(in + 107);
  h.user_minor = GetU16(in + 109);
  h.changed_flag = in[111];
  h.last_blob_revision = GetI32(in + 112);
  h.writer_version = GetU32(in + 116);
  h.reserved = GetU32(in + 120);
  return h;
}

double HeaderTimeFromDateTime(double days_since_1899) { return days_since_1899 - kHeaderTimeBias; }

double CurrentHeaderTime() {
  LocalDateTime now = CurrentLocalDateTime();
  double timestamp = MakeTimestamp(now.day_number, now.ms_of_day);
  return HeaderTimeFromDateTime(TimestampToDateTime(timestamp));
}

}  // namespace ficha
