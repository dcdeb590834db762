#include "lib/file/FileList.h"

#include <cerrno>
#include <memory>

#include "common/ErrorCodes.h"
#include "lib/file/MemoryFile.h"
#include "lib/file/OsError.h"
#include "lib/file/OsPath.h"
#include "lib/file/PhysicalFile.h"

namespace ficha {

namespace {

bool list_destroyed = false;

bool IsBlank(unsigned char c) { return c <= ' '; }

std::string_view Trim(std::string_view name) {
  while (!name.empty() && IsBlank(static_cast<unsigned char>(name.front()))) name.remove_prefix(1);
  while (!name.empty() && IsBlank(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
  return name;
}

// Lower case of a Windows-1252 letter: ASCII, the accented capitals
// 0xC0-0xDE except the multiplication sign, and the three capitals of the
// 0x8A-0x9F block.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
  if (c == 0x9F) return 0xFF;
  return c;
}

// Keeps a file's lock for the rest of a scope.
class FileAccess {
 public:
  explicit FileAccess(TAbstractFile* file) : file_(file) { file_->Enter(); }
  ~FileAccess() { file_->Leave(); }
  FileAccess(const FileAccess&) = delete;
  FileAccess& operator=(const FileAccess&) = delete;

 private:
  TAbstractFile* file_;
};

// Reports progress of a copy when it has advanced by at least step.
class CopyProgress {
 public:
  CopyProgress(int64_t total, int step, TCopyProgress callback, void* argument)
      : total_(total), step_(step), callback_(callback), argument_(argument) {}

  void Add(int64_t bytes) {
    if (callback_ == nullptr) return;
    done_ += bytes;
    int percent = total_ > 0 ? static_cast<int>(done_ * 100 / total_) : 100;
    if (percent >= last_ + step_) {
      callback_(argument_, percent);
      last_ = percent;
    }
  }

 private:
  int64_t total_;
  int step_;
  TCopyProgress callback_;
  void* argument_;
  int64_t done_ = 0;
  int last_ = 0;
};

// Copies the whole of source (from its current position, set to 0 by the
// caller) to target. 0, or -9217 / -9218 when a read or write fails.
int CopyContent(TAbstractFile* source, int32_t source_handle, TAbstractFile* target,
                int32_t target_handle, CopyProgress* progress) {
  std::unique_ptr<char[]> buffer(new char[TFileList::kCopyBlock]);
  int64_t n;
  do {
    n = source->Read(source_handle, buffer.get(), TFileList::kCopyBlock);
    if (n < 0) return -FICHA_READERR;
    if (n > 0) {
      if (target->Write(target_handle, buffer.get(), n) != n) return -FICHA_WRITEERR;
      progress->Add(n);
    }
  } while (n == TFileList::kCopyBlock);
  return 0;
}

}  // namespace

TFileList::TFileList() = default;

TFileList::~TFileList() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  files_.clear();
  list_destroyed = true;
}

std::string TFileList::NameKey(std::string_view name) {
  std::string key(Trim(name));
  for (char& c : key) {
    c = c == '\\' ? '/' : static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  }
  return key;
}

TAbstractFile* TFileList::Find(const std::string& key, bool in_memory) const {
  for (const auto& f : files_) {
    if (f->InMemory() == in_memory && NameKey(f->Name()) == key) return f.get();
  }
  return nullptr;
}

void TFileList::Discard(TAbstractFile* file) {
  for (auto it = files_.begin(); it != files_.end(); ++it) {
    if (it->get() == file) {
      files_.erase(it);
      return;
    }
  }
}

int32_t TFileList::Create(std::string_view name, bool in_memory, bool temporary,
                          TAbstractFile** file) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::string_view trimmed = Trim(name);
  TAbstractFile* f = Find(NameKey(trimmed), in_memory);
  if (f != nullptr) {
    if (f->OpenCount() > 0) return FailWithOsError(EACCES);
    f->SetExclusive(true);
    f->SetTemporary(temporary);
    int32_t id = f->Create();
    if (id > 0 && file != nullptr) *file = f;
    return id;
  }
  std::unique_ptr<TAbstractFile> made;
  if (in_memory) {
    made = std::make_unique<TMemoryFile>(trimmed, true, temporary);
  } else {
    made = std::make_unique<TPhysicalFile>(trimmed, true, temporary);
  }
  int32_t id = made->Create();
  if (id < 0) return id;
  if (file != nullptr) *file = made.get();
  files_.push_back(std::move(made));
  return id;
}

int32_t TFileList::Open(std::string_view name, bool in_memory, bool exclusive, bool temporary,
                        TFileOpenResult* result) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::string_view trimmed = Trim(name);
  TAbstractFile* f = Find(NameKey(trimmed), in_memory);
  int32_t id;
  if (f != nullptr && f->OpenCount() > 0) {
    if (f->Exclusive() || exclusive) return FailWithOsError(EACCES);
    id = f->Open();
  } else if (f != nullptr) {
    f->SetExclusive(exclusive);
    f->SetTemporary(temporary);
    id = f->Open();
  } else if (in_memory) {
    return FailWithOsError(ENOENT);
  } else {
    auto made = std::make_unique<TPhysicalFile>(trimmed, exclusive, temporary);
    id = made->Open();
    if (id < 0) return id;
    f = made.get();
    files_.push_back(std::move(made));
  }
  if (id < 0) return id;
  if (result != nullptr) {
    result->file = f;
    result->handle = id;
    result->read_only = f->ReadOnly();
    result->read_only_attribute = f->ReadOnlyAttribute();
  }
  return id;
}

int TFileList::Close(TAbstractFile* file, bool in_memory, int32_t id) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  bool listed = false;
  for (const auto& f : files_) {
    if (f.get() == file && f->InMemory() == in_memory) listed = true;
  }
  if (!listed || file->OpenCount() == 0) return FailWithOsError(ENOENT);
  file->Close(id);
  if (file->OpenCount() > 0) return 0;
  // A disk file leaves the list at its last close. An in-memory file keeps
  // its content for later opens, unless it is temporary: nobody could reach
  // a temporary file again, so it is discarded rather than left to grow the
  // list.
  if (!in_memory || file->Temporary()) Discard(file);
  return 0;
}

int TFileList::Rename(std::string_view name, bool in_memory, std::string_view new_name) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::string_view trimmed_new = Trim(new_name);
  TAbstractFile* f = Find(NameKey(name), in_memory);
  if (f != nullptr && f->OpenCount() > 0) return FailWithOsError(EACCES);
  // Never let a rename land on a file that is open, or on another file of
  // the list: it would be lost or become unreachable.
  TAbstractFile* target = Find(NameKey(trimmed_new), in_memory);
  if (target != nullptr && target != f) {
    return FailWithOsError(target->OpenCount() > 0 ? EACCES : EEXIST);
  }
  if (f != nullptr) return f->Rename(trimmed_new);
  if (in_memory) return FailWithOsError(ENOENT);
  return TPhysicalFile::RenameOnDisk(Trim(name), trimmed_new);
}

int TFileList::Delete(std::string_view name, bool in_memory) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  TAbstractFile* f = Find(NameKey(name), in_memory);
  if (f != nullptr) {
    if (f->OpenCount() > 0) return FailWithOsError(EACCES);
    int r = f->Delete();
    if (r < 0) return r;
    Discard(f);
    return 0;
  }
  if (in_memory) return FailWithOsError(ENOENT);
  return TPhysicalFile::DeleteOnDisk(Trim(name));
}

bool TFileList::Exists(std::string_view name, bool in_memory) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (Find(NameKey(name), in_memory) != nullptr) return true;
  if (in_memory) return false;
  return OsFileExists(Trim(name));
}

int TFileList::CopyTo(TAbstractFile* source, int32_t source_handle, std::string_view destination,
                      int step, TCopyProgress progress, void* argument) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  TAbstractFile* target = nullptr;
  int32_t target_handle = Create(destination, source->InMemory(), false, &target);
  if (target_handle < 0) return target_handle;
  int r;
  {
    FileAccess access(source);
    int64_t total = source->Size();
    if (total < 0) {
      r = static_cast<int>(total);
    } else if (source->Seek(source_handle, 0, 0) < 0) {
      r = -FICHA_READERR;
    } else {
      CopyProgress counter(total, step, progress, argument);
      r = CopyContent(source, source_handle, target, target_handle, &counter);
    }
  }
  Close(target, target->InMemory(), target_handle);
  return r;
}

int TFileList::CopyFrom(TAbstractFile* target, int32_t target_handle, std::string_view source,
                        int step, TCopyProgress progress, void* argument) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  TFileOpenResult opened;
  int32_t source_handle = Open(source, target->InMemory(), true, false, &opened);
  if (source_handle < 0) return source_handle;
  TAbstractFile* from = opened.file;
  int r;
  {
    FileAccess access(target);
    int64_t total = from->Size();
    if (total < 0) {
      r = static_cast<int>(total);
    } else if (from->Seek(source_handle, 0, 0) < 0 || target->Seek(target_handle, 0, 0) < 0) {
      r = -FICHA_READERR;
    } else {
      CopyProgress counter(total, step, progress, argument);
      r = CopyContent(from, source_handle, target, target_handle, &counter);
    }
  }
  Close(from, from->InMemory(), source_handle);
  return r;
}

size_t TFileList::Count() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return files_.size();
}

TFileList& FileList() {
  static TFileList list;
  return list;
}

bool FileListAlive() { return !list_destroyed; }

}  // namespace ficha
