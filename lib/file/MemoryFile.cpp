#include "lib/file/MemoryFile.h"

#include <cstring>
#include <new>

namespace ficha {

TMemoryFile::TMemoryFile(std::string_view name, bool exclusive, bool temporary)
    : TAbstractFile(name, exclusive, temporary) {}

int32_t TMemoryFile::Create() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::vector<unsigned char>().swap(buffer_);
  size_ = 0;
  return AddHandle();
}

bool TMemoryFile::Reserve(int64_t bytes) {
  if (bytes <= Capacity()) return true;
  int64_t steps = bytes / kGrowStep + (bytes % kGrowStep != 0);
  if (steps > static_cast<int64_t>(buffer_.max_size()) / kGrowStep) return false;
  try {
    buffer_.resize(static_cast<size_t>(steps * kGrowStep), 0);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

int64_t TMemoryFile::Read(int32_t id, void* buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  int i = FindHandle(id);
  if (i < 0 || count < 0) return -1;
  int64_t& p = PositionAt(i);
  if (p >= size_) return 0;
  if (count > size_ - p) count = size_ - p;
  if (count > 0) std::memcpy(buffer, buffer_.data() + p, static_cast<size_t>(count));
  p += count;
  return count;
}

int64_t TMemoryFile::Write(int32_t id, const void* buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  int i = FindHandle(id);
  if (i < 0 || count < 0) return -1;
  int64_t& p = PositionAt(i);
  if (count == 0) {
    // Truncate or extend to the position.
    if (p == 0) {
      std::vector<unsigned char>().swap(buffer_);
    } else if (p < Capacity()) {
      // Bytes cut off must read as zero if the file grows again.
      std::memset(buffer_.data() + p, 0, static_cast<size_t>(Capacity() - p));
    } else if (!Reserve(p)) {
      return -1;
    }
    size_ = p;
    return 0;
  }
  if (p > INT64_MAX - count || !Reserve(p + count)) return -1;
  std::memcpy(buffer_.data() + p, buffer, static_cast<size_t>(count));
  p += count;
  if (p > size_) size_ = p;
  return count;
}

}  // namespace ficha
