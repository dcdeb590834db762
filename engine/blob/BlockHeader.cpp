// Blob block.
//
// A blob is a chain of blocks of B bytes each (B is the table's blob block
// size, at least 64, 512 when the data header leaves it 0). Every block starts
// with an 18-byte header; the B - 18 bytes after it hold data. Integers are
// little-endian.
//
//   Offset  Size  Content
//   ------  ----  -------------------------------------------------------
//        0     4  previous block of the same blob, signed (0 for the first)
//        4     4  next block of the same blob, signed (0 for the last);
//                 in a free block: the next block of the free chain
//        8     2  data bytes used in this block, unsigned (at most B - 18)
//       10     4  revision number of the blob that owns the block, signed;
//                 the same number is kept in the record's blob reference
//       14     4  total length of the blob in bytes, signed; in the first
//                 block only, 0 in the others
//       18 B-18  data
//
// On an encrypted table the header and the data are scrambled separately.
#include "engine/blob/BlockHeader.h"

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

}  // namespace

void TBlockHeader::Decode(const uint8_t* image) {
  prev = GetInt32(image);
  next = GetInt32(image + 4);
  used = static_cast<uint16_t>(image[8] | image[9] << 8);
  revision = GetInt32(image + 10);
  total = GetInt32(image + 14);
}

void TBlockHeader::Encode(uint8_t* image) const {
  PutInt32(image, prev);
  PutInt32(image + 4, next);
  image[8] = static_cast<uint8_t>(used);
  image[9] = static_cast<uint8_t>(used >> 8);
  PutInt32(image + 10, revision);
  PutInt32(image + 14, total);
}

int64_t BlocksForLength(int64_t length, int block_size) {
  const int64_t per_block = BlockDataSize(block_size);
  return (length + per_block - 1) / per_block;
}

}  // namespace ficha
