#include "engine/blob/BlockStack.h"

namespace ficha {

std::unique_ptr<TBlock> TBlockStack::Take(int data_size) {
  if (spares_.empty()) return std::make_unique<TBlock>(data_size);
  std::unique_ptr<TBlock> block = std::move(spares_.back());
  spares_.pop_back();
  block->data_.resize(static_cast<size_t>(data_size));
  block->Clear();
  block->file_ = nullptr;
  block->dirty_ = false;
  block->pins_ = 0;
  block->number_ = 0;
  block->newer_ = nullptr;
  block->older_ = nullptr;
  return block;
}

void TBlockStack::Give(std::unique_ptr<TBlock> block) {
  if (block && spares_.size() < kMaxSpares) spares_.push_back(std::move(block));
}

}  // namespace ficha
