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

#include "common/LittleEndian.h"

namespace ficha {

void TBlockHeader::Decode(const uint8_t* image) {
  prev = GetI32(image);
  next = GetI32(image + 4);
  used = GetU16(image + 8);
  revision = GetI32(image + 10);
  total = GetI32(image + 14);
}

void TBlockHeader::Encode(uint8_t* image) const {
  PutI32(image, prev);
  PutI32(image + 4, next);
  PutU16(image + 8, used);
  PutI32(image + 10, revision);
  PutI32(image + 14, total);
}

int64_t BlocksForLength(int64_t length, int block_size) {
  const int64_t per_block = BlockDataSize(block_size);
  return (length + per_block - 1) / per_block;
}

}  // namespace ficha
