// TBlock: one cached block of a blob file.
//
// A block belongs to its TBlobFile's cache while it holds a block number. It
// carries the working copies of the five header fields, the B - 18 data
// bytes, a dirty flag (changed since read or written) and a pin count: every
// user that fetched the block through TBlobFile::GetBlock holds one pin until
// it lets go (TPinnedBlock does that), and the cache never evicts or reuses a
// pinned block. Blocks are used from one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/blob/BlockHeader.h"

namespace ficha {

class TBlobFile;

class TBlock {
 public:
  // A block with data_size data bytes, all zero, not in any cache.
  explicit TBlock(int data_size);

  TBlock(const TBlock&) = delete;
  TBlock& operator=(const TBlock&) = delete;

  int32_t Number() const { return number_; }
  bool Dirty() const { return dirty_; }
  int Pins() const { return pins_; }

  // The working header fields; call MarkDirty after changing them.
  TBlockHeader& Header() { return header_; }
  const TBlockHeader& Header() const { return header_; }

  uint8_t* Data() { return data_.data(); }
  const uint8_t* Data() const { return data_.data(); }
  int DataSize() const { return static_cast<int>(data_.size()); }

  // The block must be written back before it may leave the cache.
  void MarkDirty();

  // Zero header and data.
  void Clear();

 private:
  friend class TBlobFile;
  friend class TBlockStack;
  friend class TPinnedBlock;

  TBlobFile* file_ = nullptr;
  bool dirty_ = false;
  int pins_ = 0;
  int32_t number_ = 0;
  TBlockHeader header_;
  std::vector<uint8_t> data_;
  // Neighbours in the file's least-recently-used chain.
  TBlock* newer_ = nullptr;
  TBlock* older_ = nullptr;
};

// A pin on a cached block, released when the object goes away (also when an
// error unwinds past it). Movable, not copyable. Empty when it holds nothing.
class TPinnedBlock {
 public:
  TPinnedBlock() = default;
  // Takes over one pin that the caller already holds on block.
  explicit TPinnedBlock(TBlock* block) : block_(block) {}
  ~TPinnedBlock() { Release(); }

  TPinnedBlock(TPinnedBlock&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  TPinnedBlock& operator=(TPinnedBlock&& other) noexcept;
  TPinnedBlock(const TPinnedBlock&) = delete;
  TPinnedBlock& operator=(const TPinnedBlock&) = delete;

  TBlock* get() const { return block_; }
  TBlock* operator->() const { return block_; }
  TBlock& operator*() const { return *block_; }
  explicit operator bool() const { return block_ != nullptr; }

  // Drops the pin now.
  void Release();

 private:
  TBlock* block_ = nullptr;
};

}  // namespace ficha
