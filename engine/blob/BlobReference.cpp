// Blob reference in a record.
//
// A blob field (type 3) takes 9 bytes of the record: the null byte (1 = has a
// value, 0 = null) followed by these 8 value bytes, little-endian:
//
//   Offset  Size  Content
//   ------  ----  -------------------------------------------------------
//        0     4  first block of the blob's chain, signed (0 = no blocks)
//        4     4  revision number of the blob, signed; equal to the
//                 revision in every block of the chain
//
// The revision comes from the data header's counter of the last blob revision
// given out; each write of a changed blob draws the next one, so a reader
// holding an old reference sees that the chain was rewritten since.
#include "engine/blob/BlobReference.h"

#include <limits>

#include "common/LittleEndian.h"
#include "engine/data/DataFile.h"

namespace ficha {

TBlobReference TBlobReference::Decode(const uint8_t* value) {
  return TBlobReference{GetI32(value), GetI32(value + 4)};
}

void TBlobReference::Encode(uint8_t* value) const {
  PutI32(value, first_block);
  PutI32(value + 4, revision);
}

int32_t NextBlobRevision(int32_t last) {
  if (last < 1 || last == std::numeric_limits<int32_t>::max()) return 1;
  return last + 1;
}

int32_t TakeBlobRevision(TDataFile& data_file) {
  const int32_t revision = NextBlobRevision(data_file.LastBlobRevision());
  data_file.SetLastBlobRevision(revision);
  return revision;
}

}  // namespace ficha
