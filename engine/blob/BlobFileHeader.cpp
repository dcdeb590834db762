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

#include "common/LittleEndian.h"

namespace ficha {

namespace {

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

int32_t TBlobFileHeader::ChangeCount() const { return GetI32(&image_[kChangeCountOffset]); }

void TBlobFileHeader::SetChangeCount(int32_t count) { PutI32(&image_[kChangeCountOffset], count); }

void TBlobFileHeader::BumpChangeCount() {
  SetChangeCount(static_cast<int32_t>(static_cast<uint32_t>(ChangeCount()) + 1u));
}

int32_t TBlobFileHeader::FirstFreeBlock() const { return GetI32(&image_[kFirstFreeOffset]); }

void TBlobFileHeader::SetFirstFreeBlock(int32_t block) { PutI32(&image_[kFirstFreeOffset], block); }

int32_t TBlobFileHeader::NextBlock() const { return GetI32(&image_[kNextBlockOffset]); }

void TBlobFileHeader::SetNextBlock(int32_t block) { PutI32(&image_[kNextBlockOffset], block); }

}  // namespace ficha
