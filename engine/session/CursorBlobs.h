// The open blobs of one cursor: each blob buffer with what the cursor keeps
// around it, and the numbers that name the buffers in record buffers.
//
// While a blob is open, the first four value bytes of its field in a record
// buffer hold -identity (a negative number; stored references are never
// negative). Identities are drawn from one counter for the whole process, so
// a record buffer carried from one cursor to another never names a foreign
// cursor's buffer by accident.
//
// The list owns its entries and their buffers; at most
// TDataCursor::kMaxOpenBlobs of them. The blob operations themselves are
// TDataCursor's (CursorBlobs.cpp). Used from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/blob/BlobBuffer.h"
#include "engine/blob/BlobReference.h"
#include "engine/session/DataCursor.h"

namespace ficha {

// One open blob.
struct TOpenBlob {
  int32_t identity = 0;  // the field holds -identity while open
  int field = 0;         // field number, 1-based
  std::unique_ptr<TBlobBuffer> buffer;
  // What the field held when the blob was opened (or after it was last
  // posted): the reference and whether the field had a value.
  TBlobReference stored;
  bool stored_has_value = false;
  int32_t record_number = 0;  // 0 for a record not yet in the table
  int32_t row_id = 0;         // the record's auto-increment value
  TBlobOpenMode mode = TBlobOpenMode::kRead;
  bool temporary = false;  // opened for one engine operation only
  int open_count = 1;
  bool text_indexed = false;  // the field is in the table's text index
};

class TOpenBlobList {
 public:
  TOpenBlobList() = default;
  TOpenBlobList(const TOpenBlobList&) = delete;
  TOpenBlobList& operator=(const TOpenBlobList&) = delete;

  int Count() const { return static_cast<int>(entries_.size()); }
  // The entry whose identity a field value names, or null.
  TOpenBlob* FindByValue(int32_t value);
  // Appends entry under a new identity; returns it.
  TOpenBlob* Add(std::unique_ptr<TOpenBlob> entry);
  // Destroys the entry.
  void Remove(TOpenBlob* entry);
  // Destroys every temporary entry.
  void RemoveTemporary();
  void Clear() { entries_.clear(); }
  const std::vector<std::unique_ptr<TOpenBlob>>& Entries() const { return entries_; }

 private:
  std::vector<std::unique_ptr<TOpenBlob>> entries_;
};

}  // namespace ficha
