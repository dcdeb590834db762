// TRecord: one record of a data file held in its record cache.
//
// A record is free (in the pool), cached clean, or cached dirty; while cached
// any number of cursors may pin it. Pinned and dirty records are never
// evicted. The owning TDataFile manages the cache links; cursors use the
// record bytes, the dirty mark and their pin.
#pragma once

#include <cstdint>
#include <vector>

namespace ficha {

class TDataFile;

class TRecord {
 public:
  explicit TRecord(TDataFile* file) : file_(file) {}
  TRecord(const TRecord&) = delete;
  TRecord& operator=(const TRecord&) = delete;

  TDataFile* File() const { return file_; }
  int32_t Number() const { return number_; }

  // The record bytes (Size() of them). Changing them requires MarkDirty() so
  // that the change reaches the disk.
  uint8_t* Data() { return buffer_.data(); }
  const uint8_t* Data() const { return buffer_.data(); }
  uint32_t Size() const { return size_; }

  bool Dirty() const { return dirty_; }
  void MarkDirty() { dirty_ = true; }
  void ClearDirty() { dirty_ = false; }

  int PinCount() const { return pins_; }
  void Pin() { ++pins_; }
  // REQUIRES: PinCount() > 0.
  void Unpin() {
    if (pins_ > 0) --pins_;
  }

  // Makes this the zero-filled, clean, unpinned record number for a table
  // with the given record size; the buffer grows in 64-byte steps.
  void Reset(TDataFile* file, int32_t number, uint32_t size);

  // Scratch buffer for a sort key (used when a result table is sorted).
  std::vector<uint8_t>& KeyBuffer() { return key_; }

 private:
  friend class TRecordCache;

  TDataFile* file_;
  bool dirty_ = false;
  int pins_ = 0;
  int32_t number_ = 0;
  std::vector<uint8_t> buffer_;
  uint32_t size_ = 0;
  TRecord* newer_ = nullptr;  // least-recently-used chain
  TRecord* older_ = nullptr;
  std::vector<uint8_t> key_;
};

}  // namespace ficha
