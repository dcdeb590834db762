#include "lib/bitmap/RecordsBitmapStack.h"

namespace ficha {

namespace {

// The process-wide pool once it has been destroyed at exit. Objects destroyed
// after it may still hand bitmaps back; those are freed rather than stored in
// a pool that no longer exists.
const TRecordsBitmapStack* destroyed_pool = nullptr;

struct ProcessPool {
  ~ProcessPool() { destroyed_pool = &pool; }
  TRecordsBitmapStack pool;
};

}  // namespace

TRecordsBitmapStack::TRecordsBitmapStack() { spares_.reserve(kMaxSpares); }

TRecordsBitmapStack::~TRecordsBitmapStack() = default;

std::unique_ptr<TRecordsBitmap> TRecordsBitmapStack::Acquire() {
  if (this == destroyed_pool) return std::make_unique<TRecordsBitmap>();
  std::lock_guard<std::mutex> guard(lock_);
  if (spares_.empty()) return std::make_unique<TRecordsBitmap>();
  std::unique_ptr<TRecordsBitmap> bitmap = std::move(spares_.back());
  spares_.pop_back();
  bitmap->ClearAll();
  return bitmap;
}

void TRecordsBitmapStack::Release(std::unique_ptr<TRecordsBitmap>& bitmap) {
  if (!bitmap) return;
  if (this == destroyed_pool) {
    bitmap.reset();
    return;
  }
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
  static ProcessPool process;
  return process.pool;
}

}  // namespace ficha
