// A cached record: its bytes are the on-disk record image, unscrambled.
#include "engine/data/Record.h"

#include <cstring>

namespace ficha {

void TRecord::Reset(TDataFile* file, int32_t number, uint32_t size) {
  file_ = file;
  dirty_ = false;
  pins_ = 0;
  number_ = number;
  size_t capacity = (static_cast<size_t>(size) + 63) / 64 * 64;
  if (buffer_.size() < capacity) buffer_.resize(capacity);
  std::memset(buffer_.data(), 0, size);
  size_ = size;
  newer_ = nullptr;
  older_ = nullptr;
  key_.clear();
}

}  // namespace ficha
