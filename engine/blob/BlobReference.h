// The reference to a blob that a record keeps in a blob field. The layout is
// described in BlobReference.cpp.
#pragma once

#include <cstdint>

namespace ficha {

class TDataFile;

constexpr int kBlobReferenceSize = 8;

struct TBlobReference {
  int32_t first_block = 0;  // 0 = the blob has no blocks
  int32_t revision = 0;     // revision stored in every block of the chain

  // Reads and writes the 8 value bytes of the field (after its null byte).
  static TBlobReference Decode(const uint8_t* value);
  void Encode(uint8_t* value) const;

  bool operator==(const TBlobReference&) const = default;
};

// The revision number that follows last in the table's counter of blob
// revisions: last + 1, and 1 after 2,147,483,647. A counter that is not
// positive (a new table, or a damaged header) also gives 1, so that a blob
// never gets a revision of 0 or below.
int32_t NextBlobRevision(int32_t last);

// Draws the next revision from the data header's counter and stores it back
// there (the data header counts as changed). Used once for every changed blob
// that is written.
int32_t TakeBlobRevision(TDataFile& data_file);

}  // namespace ficha
