// The 18-byte header at the start of every blob block. A block of B bytes
// holds this header and B - 18 data bytes. The layout is described in
// BlockHeader.cpp.
#pragma once

#include <cstdint>

namespace ficha {

constexpr int kBlockHeaderSize = 18;

struct TBlockHeader {
  int32_t prev = 0;      // previous block of the same blob, 0 for the first
  int32_t next = 0;      // next block of the blob (0 for the last), or next free
  uint16_t used = 0;     // data bytes used in this block
  int32_t revision = 0;  // revision of the blob that owns the block
  int32_t total = 0;     // whole blob length; first block only, else 0

  void Decode(const uint8_t* image);
  void Encode(uint8_t* image) const;

  bool operator==(const TBlockHeader&) const = default;
};

// Data bytes of one block of block_size bytes.
constexpr int BlockDataSize(int block_size) { return block_size - kBlockHeaderSize; }

// Blocks needed for a blob of length bytes: ceil(length / (B - 18)).
// REQUIRES: block_size > kBlockHeaderSize, length >= 0.
int64_t BlocksForLength(int64_t length, int block_size);

}  // namespace ficha
