// The 512-byte header at the start of a blob file (".BLB").
//
// The header is kept as the image read from disk, so that bytes this engine
// does not use travel back unchanged; the accessors read and write the fields
// inside the image. The layout is described in BlobFileHeader.cpp.
#pragma once

#include <array>
#include <cstdint>

namespace ficha {

constexpr int kBlobHeaderSize = 512;
constexpr uint8_t kBlobFormatVersion = 5;

class TBlobFileHeader {
 public:
  // A header of a new, empty file: all zero, version 5, no free block, next
  // block number 1.
  TBlobFileHeader();

  // Copies of the header are plain values.
  TBlobFileHeader(const TBlobFileHeader&) = default;
  TBlobFileHeader& operator=(const TBlobFileHeader&) = default;

  // Takes the 512 bytes at image as the header.
  void Decode(const uint8_t* image);
  // Writes the 512-byte image, with the changed marker set as given.
  void Encode(uint8_t* image, bool changed) const;

  // Resets to the header of a new, empty file, keeping the change count.
  void Clear();

  int32_t ChangeCount() const;
  void SetChangeCount(int32_t count);
  // Adds one, wrapping within 32 bits.
  void BumpChangeCount();

  uint8_t Version() const { return image_[8]; }
  void SetVersion(uint8_t version) { image_[8] = version; }

  // First block of the free chain, 0 when there is none.
  int32_t FirstFreeBlock() const;
  void SetFirstFreeBlock(int32_t block);

  // Blocks in the file plus one.
  int32_t NextBlock() const;
  void SetNextBlock(int32_t block);

  const std::array<uint8_t, kBlobHeaderSize>& Image() const { return image_; }

 private:
  std::array<uint8_t, kBlobHeaderSize> image_;
};

}  // namespace ficha
