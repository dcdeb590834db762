// The 127-byte header at the start of every data file (byte layout in
// TableHeader.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ficha {

constexpr size_t kTableHeaderSize = 127;
constexpr uint8_t kDataFormatVersion = 5;
constexpr uint32_t kDataWriterVersion = 33000;
constexpr size_t kMaxTableDescriptionLength = 50;
constexpr size_t kMaxTablePasswordLength = 15;
constexpr uint16_t kDefaultBlobBlockSize = 512;

// In-memory image of the table header. description and password hold the
// bytes exactly as stored: scrambled when the table is encrypted (use
// TDataFile's accessors for the plain texts).
struct TTableHeader {
  int32_t change_count = 0;
  uint32_t blob_block_size_raw = 0;  // see BlobBlockSize()
  uint8_t version = 0;
  int32_t first_deleted = 0;  // head of the deleted chain, 0 = empty
  int32_t next_record = 1;    // record slots + 1
  int32_t last_row_id = 0;    // last row identifier given out
  uint16_t record_size = 0;
  uint16_t field_count = 0;
  int16_t blob_field_count = 0;
  double last_write_time = 0;  // local date-time (days since 1899-12-30) - 693594.0
  std::string description;     // stored bytes, at most 50
  bool encrypted = false;
  std::string password;  // stored bytes, at most 15
  uint16_t language = 0;
  uint16_t sort = 0;
  uint16_t user_major = 0;
  uint16_t user_minor = 0;
  uint8_t changed_flag = 0;  // written as 1 when changed since read; ignored on read
  int32_t last_blob_revision = 0;
  uint32_t writer_version = 0;
  uint32_t reserved = 0;  // offset 120, always written 0

  // The block size of the blob file: the low 16 bits of the stored value, or
  // 512 when the whole stored value is 0.
  uint16_t BlobBlockSize() const;
};

// Writes the 127-byte image into out.
void EncodeTableHeader(const TTableHeader& header, uint8_t* out);

// Reads a 127-byte image; string lengths beyond their width are cut to it.
TTableHeader DecodeTableHeader(const uint8_t* in);

// The time stored at offset 27 for a local date-time given as days since
// 1899-12-30 with the time of day as fraction.
double HeaderTimeFromDateTime(double days_since_1899);

// The current local date-time in the stored form.
double CurrentHeaderTime();

}  // namespace ficha
