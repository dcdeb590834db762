#include "engine/blob/Block.h"

#include <algorithm>

#include "engine/blob/BlobFile.h"

namespace ficha {

TBlock::TBlock(int data_size) : data_(static_cast<size_t>(std::max(data_size, 0)), 0) {}

void TBlock::Clear() {
  header_ = TBlockHeader{};
  std::fill(data_.begin(), data_.end(), 0);
}

void TBlock::MarkDirty() {
  dirty_ = true;
  if (file_ != nullptr) file_->NoteChange();
}

TPinnedBlock& TPinnedBlock::operator=(TPinnedBlock&& other) noexcept {
  if (this != &other) {
    Release();
    block_ = other.block_;
    other.block_ = nullptr;
  }
  return *this;
}

void TPinnedBlock::Release() {
  if (block_ != nullptr) {
    if (block_->pins_ > 0) --block_->pins_;
    block_ = nullptr;
  }
}

}  // namespace ficha
