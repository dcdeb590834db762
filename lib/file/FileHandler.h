// One user's handle on a shared file; the base of the data, index and blob
// file classes.
//
// The owner sets the name, the kind (in-memory or disk) and the exclusive and
// temporary requests, then opens or creates. A handler holds at most one
// logical handle on a file shared through FileList(); it turns the layer's
// negative results into engine errors (EFichaEngineError) that name its file.
// The destructor closes an open handle.
//
// All handles of a disk file share one file position: hold BeginAccess /
// EndAccess around every seek-then-read and seek-then-write pair.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lib/file/AbstractFile.h"
#include "lib/file/FileList.h"

namespace ficha {

class TFileHandler {
 public:
  TFileHandler();
  virtual ~TFileHandler();

  TFileHandler(const TFileHandler&) = delete;
  TFileHandler& operator=(const TFileHandler&) = delete;

  // Opens a handle on the file named by Name(); nothing when already open.
  // Raises 11010 when the file does not exist, else the open's error (11013
  // when it is in exclusive use, ...).
  virtual void OpenFile();

  // Closes the handle, if any. Never raises.
  virtual void CloseFile();

  // Creates the file (emptying an existing one) and opens a handle on it.
  // An already open handle is closed first.
  virtual void CreateNewFile();

  // Deletes the named file (REQUIRES: not open through this handler).
  virtual void RemoveFile();

  // Renames the named file and takes the new name; keeps the old name when
  // the rename fails (and raises).
  virtual void RenameFile(std::string_view new_name);

  // Copies this file's whole content into a newly created file of the same
  // kind. Does nothing when no handle is open.
  virtual void CopyToFile(std::string_view destination, int step, TCopyProgress progress,
                          void* argument);

  // Overwrites this file from its first byte with the content of the named
  // file of the same kind. Does nothing when no handle is open.
  virtual void CopyFromFile(std::string_view source, int step, TCopyProgress progress,
                            void* argument);

  // Reads up to count bytes at the current position. Raises 9217 when no
  // handle is open, or when fewer bytes were read and allow_short is false;
  // with allow_short the count is returned (0 at the end, -1 after an OS
  // failure).
  virtual int64_t ReadData(void* buffer, int64_t count, bool allow_short);

  // Writes count bytes at the current position; count 0 truncates (or
  // extends) the file at the position. Raises 9218 when no handle is open or
  // the write falls short.
  virtual void WriteData(const void* buffer, int64_t count);

  // Writes the file's buffers to the device. Raises 9218 on failure; nothing
  // without a handle.
  virtual void FlushData();

  // origin 0 = start, 1 = current, 2 = end. Returns the new position, 0 when
  // no handle is open. Raises 9217 for a position below 0.
  int64_t SeekTo(int origin, int64_t offset);

  // The end position; the current position is kept. 0 without a handle.
  int64_t GetFileSize();

  // Exclusive byte-range lock and unlock, tried once without waiting; true
  // on success, false on refusal or when no handle is open.
  bool LockRegion(int64_t offset, int64_t length);
  bool UnlockRegion(int64_t offset, int64_t length);

  // Enter and leave the shared file's lock; nothing without a handle.
  void BeginAccess();
  void EndAccess();

  // Whether the named file of this handler's kind exists.
  bool FileExists() const;

  const std::string& Name() const { return name_; }
  void SetName(std::string_view name) { name_ = std::string(name); }
  bool InMemory() const { return in_memory_; }
  void SetInMemory(bool in_memory) { in_memory_ = in_memory; }
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool exclusive) { exclusive_ = exclusive; }
  bool Temporary() const { return temporary_; }
  void SetTemporary(bool temporary) { temporary_ = temporary; }
  bool ReadOnly() const { return read_only_; }
  bool ReadOnlyAttribute() const { return read_only_attribute_; }
  bool IsOpen() const { return open_; }
  int32_t HandleId() const { return handle_id_; }
  // The shared file while open (owned by the file list), else nullptr.
  TAbstractFile* File() const { return file_; }

 protected:
  // Raises code (given negated or not) naming this file, with the layer's
  // last OS error as the OS error code.
  [[noreturn]] void Raise(int code) const;

  bool in_memory_ = false;
  TAbstractFile* file_ = nullptr;
  std::string name_;
  int32_t handle_id_ = 0;
  bool exclusive_ = false;
  bool read_only_ = false;
  bool read_only_attribute_ = false;
  bool open_ = false;
  bool temporary_ = false;
};

// Holds a handler's shared-file lock (BeginAccess) for the guard's lifetime,
// so a seek and the read or write that follows stay together and the lock is
// left also when they raise.
class TFileAccess {
 public:
  explicit TFileAccess(TFileHandler& file) : file_(file) { file_.BeginAccess(); }
  ~TFileAccess() { file_.EndAccess(); }
  TFileAccess(const TFileAccess&) = delete;
  TFileAccess& operator=(const TFileAccess&) = delete;

 private:
  TFileHandler& file_;
};

}  // namespace ficha
