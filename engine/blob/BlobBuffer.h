// TBlobBuffer: one open blob of one cursor, its whole content in memory.
//
// The buffer is created on a blob reference (first block and revision) from a
// record, loaded from the blob file on first access, changed in memory and
// written back as a chain of blocks when the record is posted. The cursor
// layer keeps its own bookkeeping (open mode, record, text index) around it.
// The buffer does not own its blob file or its cursor; both must outlive it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/blob/BlobFile.h"
#include "engine/blob/BlobReference.h"
#include "engine/data/TableOwner.h"

namespace ficha {

// Longest blob: its length is a signed 32-bit number in the first block.
constexpr int64_t kMaxBlobLength = 2147483647;

class TBlobBuffer {
 public:
  // cursor: whose change check runs before disk reads while loading; may be
  // null (no check). field_number: the blob field the buffer belongs to.
  TBlobBuffer(TBlobFile* file, TRequestingCursor* cursor, int field_number,
              TBlobReference reference);

  TBlobBuffer(const TBlobBuffer&) = delete;
  TBlobBuffer& operator=(const TBlobBuffer&) = delete;

  // Reads the whole chain into the buffer (an empty buffer when the
  // reference has no first block). A change by another program noticed on
  // the way makes the load start again from the first block.
  // Raises 8708 when a block carries another revision (the blob was
  // rewritten since the record was read), 8711 when the chain ends before
  // the blob's length, 8963 for a damaged chain (link outside the file, a
  // cycle, a block held elsewhere), 10029 for a block that claims more data
  // than a block holds.
  void LoadBlob();

  // Writes the buffer to the blob file under the new revision, reusing the
  // old chain block by block, taking new blocks where it is too short and
  // freeing what is left of it. An empty buffer deletes the blob. Afterwards
  // Reference() is the new reference and the buffer counts as unmodified.
  // When new blocks cannot be had (9479 full file, 8963 damaged free chain)
  // the save fails before the old chain is touched: the stored blob stays.
  // REQUIRES: the table is write-locked (no change checks are made).
  void SaveBlob(int32_t new_revision);

  // Frees the blob's whole chain; the reference's first block becomes 0 and
  // the buffer is emptied.
  void DeleteBlob();

  // --- content ---

  int64_t Length() const { return static_cast<int64_t>(content_.size()); }
  const uint8_t* Data() const { return content_.data(); }
  uint8_t* Data() { return content_.data(); }
  // Sets the length; new bytes are zero. Raises 10029 above kMaxBlobLength.
  void Resize(int64_t length);
  // Copies count bytes at offset into dest, as far as the content reaches;
  // returns the number copied.
  int64_t Read(int64_t offset, int64_t count, uint8_t* dest) const;
  // Writes count bytes at offset, growing the content (with zero bytes up to
  // offset) when it is shorter. Raises 10029 when it would pass
  // kMaxBlobLength.
  void Write(int64_t offset, int64_t count, const uint8_t* source);

  // Keeps a copy of the content (and the modified flag), for a cancel.
  void KeepCopy();
  // Puts the kept copy back; nothing when none was kept.
  void RestoreCopy();
  bool HasCopy() const { return has_copy_; }

  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }
  bool Loaded() const { return loaded_; }

  int FieldNumber() const { return field_number_; }
  TBlobReference Reference() const { return TBlobReference{first_block_, revision_}; }
  TRequestingCursor* Cursor() const { return cursor_; }
  TBlobFile* File() const { return file_; }

  // Open count, for a blob opened more than once by its cursor.
  int OpenCount() const { return open_count_; }
  void AddOpen() { ++open_count_; }
  // Returns the open count left.
  int ReleaseOpen() { return open_count_ > 0 ? --open_count_ : 0; }

 private:
  // One attempt of LoadBlob; false when the walk must start again.
  bool TryLoad();
  // Puts blocks taken by a save that failed back on the free chain.
  void GiveBack(const std::vector<int32_t>& blocks);

  TBlobFile* file_;
  TRequestingCursor* cursor_;
  bool modified_ = false;
  bool loaded_ = false;
  int32_t revision_;
  int field_number_;
  int32_t first_block_;
  std::vector<uint8_t> content_;
  std::vector<uint8_t> copy_;
  bool has_copy_ = false;
  bool copy_modified_ = false;
  int open_count_ = 1;
};

}  // namespace ficha
