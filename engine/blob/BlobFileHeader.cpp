// Blob file header.
//
// A blob file is the header followed by fixed-size blocks (see BlockHeader.cpp):
// block n (n >= 1) starts at byte 512 + (n - 1) * B, where B is the table's
// blob block size. Integers are little-endian.
//
//   Offset  Size  Content
//   ------  ----  -------------------------------------------------------
//        0     4  change count, signed; incremented before every header
//                 write so that other programs notice the change
//        4     4  zero
//        8     1  format version, always 5
//        9     4  first free block, signed (0 = the free chain is empty)
//       13     4  next block number, signed: blocks in the file plus 1
//                 (1 for an empty file)
//       17     1  1 when the header was changed since it was read, else 0;
//                 written for information, ignored when read
//       18   494  zero
//
// On an encrypted table the whole 512 bytes are scrambled on disk.
#include "engine/blob/BlobFileHeader.h"

#include <cstring>

namespace ficha {

namespace {

int32_t GetInt32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

void PutInt32(uint8_t* p, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

constexpr int kChangeCountOffset = 0;
constexpr int kFirstFreeOffset = 9;
constexpr int kNextBlockOffset = 13;
constexpr int kChangedOffset = 17;

}  // namespace

TBlobFileHeader::TBlobFileHeader() {
  image_.fill(0);
  Clear();
}

void TBlobFileHeader::Decode(const uint8_t* image) {
  std::memcpy(image_.data(), image, kBlobHeaderSize);
}

void TBlobFileHeader::Encode(uint8_t* image, bool changed) const {
  std::memcpy(image, image_.data(), kBlobHeaderSize);
  image[kChangedOffset] = changed ? 1 : 0;
}

void TBlobFileHeader::Clear() {
  SetVersion(kBlobFormatVersion);
  SetFirstFreeBlock(0);
  SetNextBlock(1);
}

int32_t TBlobFileHeader::ChangeCount() const { return GetInt32(&image_[kChangeCountOffset]); }

void TBlobFileHeader::SetChangeCount(int32_t count) {
  PutInt32(&image_[kChangeCountOffset], count);
}

void TBlobFileHeader::BumpChangeCount() {
  SetChangeCount(static_cast<int32_t>(static_cast<uint32_t>(ChangeCount()) + 1u));
}

int32_t TBlobFileHeader::FirstFreeBlock() const { return GetInt32(&image_[kFirstFreeOffset]); }

void TBlobFileHeader::SetFirstFreeBlock(int32_t block) {
  PutInt32(&image_[kFirstFreeOffset], block);
}

int32_t TBlobFileHeader::NextBlock() const { return GetInt32(&image_[kNextBlockOffset]); }

void TBlobFileHeader::SetNextBlock(int32_t block) { PutInt32(&image_[kNextBlockOffset], block); }

}  // namespace ficha
