#include "lib/bitmap/RecordsBitmapStack.h"

namespace ficha {

TRecordsBitmapStack::TRecordsBitmapStack() { spares_.reserve(kMaxSpares); }

TRecordsBitmapStack::~TRecordsBitmapStack() = default;

std::unique_ptr<TRecordsBitmap> TRecordsBitmapStack::Acquire() {
  std::lock_guard<std::mutex> guard(lock_);
  if (spares_.empty()) return std::make_unique<TRecordsBitmap>();
  std::unique_ptr<TRecordsBitmap> bitmap = std::move(spares_.back());
  spares_.pop_back();
  bitmap->ClearAll();
  return bitmap;
}

void TRecordsBitmapStack::Release(std::unique_ptr<TRecordsBitmap>& bitmap) {
  if (!bitmap) return;
  std::lock_guard<std::mutex> guard(lock_);
  if (spares_.size() >= kMaxSpares) {
    bitmap.reset();
  } else {
    spares_.push_back(std::move(bitmap));
  }
}

size_t TRecordsBitmapStack::SpareCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return spares_.size();
}

TRecordsBitmapStack& RecordsBitmapPool() {
  static TRecordsBitmapStack pool;
  return pool;
}

}  // namespace ficha
