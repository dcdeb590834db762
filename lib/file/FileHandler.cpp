#include "lib/file/FileHandler.h"

#include <cerrno>
#include <cstdlib>

#include "common/EngineError.h"
#include "common/ErrorCodes.h"
#include "lib/file/OsError.h"

namespace ficha {

TFileHandler::TFileHandler() = default;

TFileHandler::~TFileHandler() {
  if (open_ && FileListAlive()) CloseFile();
}

void TFileHandler::Raise(int code) const {
  RestoreOsError();
  RaiseEngineError(std::abs(code), name_);
}

void TFileHandler::OpenFile() {
  if (open_) return;
  if (!FileExists()) {
    SetLastFileOsError(ENOENT);
    Raise(FICHA_OSENOENT);
  }
  TFileOpenResult result;
  int32_t id = FileList().Open(name_, in_memory_, exclusive_, temporary_, &result);
  if (id < 0) Raise(id);
  file_ = result.file;
  handle_id_ = id;
  read_only_ = result.read_only;
  read_only_attribute_ = result.read_only_attribute;
  open_ = true;
}

void TFileHandler::CloseFile() {
  if (open_ && file_ != nullptr) FileList().Close(file_, in_memory_, handle_id_);
  file_ = nullptr;
  handle_id_ = 0;
  open_ = false;
}

void TFileHandler::CreateNewFile() {
  CloseFile();
  TAbstractFile* file = nullptr;
  int32_t id = FileList().Create(name_, in_memory_, temporary_, &file);
  if (id < 0) Raise(id);
  file_ = file;
  handle_id_ = id;
  read_only_ = false;
  read_only_attribute_ = false;
  open_ = true;
}

void TFileHandler::RemoveFile() {
  int r = FileList().Delete(name_, in_memory_);
  if (r < 0) Raise(r);
}

void TFileHandler::RenameFile(std::string_view new_name) {
  int r = FileList().Rename(name_, in_memory_, new_name);
  if (r < 0) Raise(r);
  name_ = std::string(new_name);
}

void TFileHandler::CopyToFile(std::string_view destination, int step, TCopyProgress progress,
                              void* argument) {
  if (!open_) return;
  int r = FileList().CopyTo(file_, handle_id_, destination, step, progress, argument);
  if (r < 0) Raise(r);
}

void TFileHandler::CopyFromFile(std::string_view source, int step, TCopyProgress progress,
                                void* argument) {
  if (!open_) return;
  int r = FileList().CopyFrom(file_, handle_id_, source, step, progress, argument);
  if (r < 0) Raise(r);
}

int64_t TFileHandler::ReadData(void* buffer, int64_t count, bool allow_short) {
  if (!open_) {
    SetLastFileOsError(EBADF);
    Raise(FICHA_READERR);
  }
  int64_t n = file_->Read(handle_id_, buffer, count);
  if (n < count && !allow_short) {
    if (n >= 0) SetLastFileOsError(0);
    Raise(FICHA_READERR);
  }
  return n;
}

void TFileHandler::WriteData(const void* buffer, int64_t count) {
  if (!open_) {
    SetLastFileOsError(EBADF);
    Raise(FICHA_WRITEERR);
  }
  int64_t n = file_->Write(handle_id_, buffer, count);
  if (n < 0 || n < count) Raise(FICHA_WRITEERR);
}

void TFileHandler::FlushData() {
  if (!open_) return;
  if (file_->Flush() < 0) Raise(FICHA_WRITEERR);
}

int64_t TFileHandler::SeekTo(int origin, int64_t offset) {
  if (!open_) return 0;
  int64_t p = file_->Seek(handle_id_, origin, offset);
  if (p < 0) Raise(FICHA_READERR);
  return p;
}

int64_t TFileHandler::GetFileSize() {
  if (!open_) return 0;
  // Size() reads the end without moving the shared position.
  int64_t size = file_->Size();
  if (size < 0) Raise(FICHA_READERR);
  return size;
}

bool TFileHandler::LockRegion(int64_t offset, int64_t length) {
  if (!open_) return false;
  return file_->LockRange(handle_id_, offset, length);
}

bool TFileHandler::UnlockRegion(int64_t offset, int64_t length) {
  if (!open_) return false;
  return file_->UnlockRange(handle_id_, offset, length);
}

void TFileHandler::BeginAccess() {
  if (file_ != nullptr) file_->Enter();
}

void TFileHandler::EndAccess() {
  if (file_ != nullptr) file_->Leave();
}

bool TFileHandler::FileExists() const { return FileList().Exists(name_, in_memory_); }

}  // namespace ficha
