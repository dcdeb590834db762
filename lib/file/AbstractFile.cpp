#include "lib/file/AbstractFile.h"

#include <algorithm>

#include "common/ErrorCodes.h"

namespace ficha {

TAbstractFile::TAbstractFile(std::string_view name, bool exclusive, bool temporary)
    : exclusive_(exclusive), temporary_(temporary), name_(name) {}

TAbstractFile::~TAbstractFile() = default;

int TAbstractFile::FindHandle(int32_t id) const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (open_count_ == 0) return -1;
  for (size_t i = 0; i < handles_.size(); ++i) {
    if (handles_[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

int64_t TAbstractFile::Size() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return size_;
}

int32_t TAbstractFile::Create() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  size_ = 0;
  return AddHandle();
}

int32_t TAbstractFile::Open() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return AddHandle();
}

int32_t TAbstractFile::AddHandle() {
  ++open_count_;
  handles_.push_back(HandleEntry{++last_handle_id_, 0});
  return last_handle_id_;
}

void TAbstractFile::Close(int32_t id) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  // An id this file never gave out closes nothing: counting it would close
  // the file under the users of its real handles.
  int i = FindHandle(id);
  if (i < 0) return;
  handles_.erase(handles_.begin() + i);
  --open_count_;
  // Ranges a process forgets to unlock die with its last handle, as the
  // operating system drops them when the file is closed.
  if (open_count_ == 0) locks_.clear();
}

int TAbstractFile::Rename(std::string_view new_name) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  name_ = std::string(new_name);
  return 0;
}

int TAbstractFile::Delete() { return 0; }

int64_t TAbstractFile::Read(int32_t, void*, int64_t) { return -1; }

int64_t TAbstractFile::Write(int32_t, const void*, int64_t) { return -1; }

int TAbstractFile::Flush() { return 0; }

int64_t TAbstractFile::Seek(int32_t id, int origin, int64_t offset) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  int i = FindHandle(id);
  if (i < 0) return -1;
  int64_t& p = PositionAt(i);
  int64_t target;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = p + offset;
      break;
    case 2:
      target = Size() + offset;
      break;
    default:
      return -1;
  }
  if (target < 0) return -1;
  p = target;
  return p;
}

bool TAbstractFile::Overlaps(int64_t first, int64_t last) const {
  return std::any_of(locks_.begin(), locks_.end(), [&](const LockEntry& e) {
    return (e.first >= first && e.first <= last) || (first >= e.first && first <= e.last);
  });
}

void TAbstractFile::AddLockEntry(int64_t offset, int64_t length) {
  locks_.push_back(LockEntry{offset, offset + length - 1, length});
}

bool TAbstractFile::RemoveLockEntry(int64_t offset, int64_t length) {
  auto it = std::find_if(locks_.begin(), locks_.end(), [&](const LockEntry& e) {
    return e.first == offset && e.length == length;
  });
  if (it == locks_.end()) return false;
  locks_.erase(it);
  return true;
}

bool TAbstractFile::LockRange(int32_t id, int64_t offset, int64_t length) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (FindHandle(id) < 0 || length < 1 || offset < 0 || offset > INT64_MAX - length) return false;
  if (Overlaps(offset, offset + length - 1)) return false;
  AddLockEntry(offset, length);
  return true;
}

bool TAbstractFile::UnlockRange(int32_t id, int64_t offset, int64_t length) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (FindHandle(id) < 0) return false;
  return RemoveLockEntry(offset, length);
}

}  // namespace ficha
