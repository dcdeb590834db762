// The process-wide pool of spare record bitmaps.
//
// Filter evaluation builds and combines many short-lived bitmaps; the pool
// keeps up to 64 spares, with their buffers, so that they are not allocated
// again each time. Acquire and Release are serialised by the pool's lock.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "lib/bitmap/RecordsBitmap.h"

namespace ficha {

class TRecordsBitmapStack {
 public:
  static constexpr size_t kMaxSpares = 64;

  TRecordsBitmapStack();
  ~TRecordsBitmapStack();  // destroys the spares

  TRecordsBitmapStack(const TRecordsBitmapStack&) = delete;
  TRecordsBitmapStack& operator=(const TRecordsBitmapStack&) = delete;

  // The last spare with all its bits cleared (it keeps its old size and
  // allocation: set the size you need), or a new empty bitmap. The caller
  // owns it until it hands it back with Release.
  std::unique_ptr<TRecordsBitmap> Acquire();

  // Takes bitmap back (nothing when it is empty): kept as a spare, or
  // destroyed when 64 spares are already kept. bitmap is emptied either way.
  void Release(std::unique_ptr<TRecordsBitmap>& bitmap);

  // Number of spares now kept.
  size_t SpareCount();

 private:
  std::mutex lock_;
  std::vector<std::unique_ptr<TRecordsBitmap>> spares_;
};

// The process-wide pool, created on first use and destroyed at exit. Once it
// is gone, Acquire hands out new bitmaps and Release frees them, so that
// objects destroyed after it at exit may still use it.
TRecordsBitmapStack& RecordsBitmapPool();

}  // namespace ficha
