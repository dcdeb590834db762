// A file shared by every user of one name within the process.
//
// TFileList keeps one TAbstractFile per (name, kind); each user holds a
// logical handle on it (ids 1, 2, ... never reused while the object lives),
// and each handle has its own position for in-memory files. Disk files share
// one file position among all handles, as the operating system does, which is
// why callers bracket seek-then-transfer pairs with Enter/Leave
// (TFileHandler::BeginAccess/EndAccess).
//
// Byte-range locks are exclusive and never wait. The file keeps the ranges it
// holds in its lock entries: a request overlapping a held range fails, even
// from the same handle. Disk files also lock the range at the operating-system
// level so that other processes are kept out.
//
// Every operation enters the file's recursive lock for its whole duration.
// Results: 0 (or a handle id, a count, a position) on success, a negated
// engine code on failure, unless stated otherwise.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ficha {

class TAbstractFile {
 public:
  struct HandleEntry {
    int32_t id;
    int64_t position;
  };
  struct LockEntry {
    int64_t first;  // first locked byte
    int64_t last;   // first + length - 1
    int64_t length;
  };

  TAbstractFile(std::string_view name, bool exclusive, bool temporary);
  virtual ~TAbstractFile();

  TAbstractFile(const TAbstractFile&) = delete;
  TAbstractFile& operator=(const TAbstractFile&) = delete;

  // True for TMemoryFile.
  virtual bool InMemory() const = 0;

  // Index of handle id in the handle entries; -1 when no handle is open or
  // the id is unknown.
  virtual int FindHandle(int32_t id) const;

  // Size in bytes (negated code when a disk file cannot tell).
  virtual int64_t Size();

  // Empties the file (creating it on disk) and opens a handle at position 0.
  // Returns the handle id.
  virtual int32_t Create();

  // Opens a new logical handle at position 0 and returns its id. A disk file
  // without handles first opens the operating-system file (see TPhysicalFile).
  virtual int32_t Open();

  // Closes the handle; unknown ids are ignored and leave the open count as
  // it is.
  virtual void Close(int32_t id);

  // Renames the file; an in-memory file only takes the new name.
  virtual int Rename(std::string_view new_name);

  // Deletes the file's content (disk: removes it from the directory). Does
  // nothing for in-memory files; TFileList discards the object.
  virtual int Delete();

  // Reads up to count bytes at the handle's position into buffer and advances
  // the position; returns the number read, or -1 on an operating-system
  // failure or an unknown handle.
  virtual int64_t Read(int32_t id, void* buffer, int64_t count);

  // Writes count bytes at the handle's position and advances it; count 0 sets
  // the end of file at the position (truncate or extend). Returns the number
  // written (0 for a truncation), or -1 on failure.
  virtual int64_t Write(int32_t id, const void* buffer, int64_t count);

  // Has the operating system write its buffers to the device.
  virtual int Flush();

  // Moves the handle's position: origin 0 from the start, 1 from the current
  // position, 2 from the end. Returns the new position, or -1 for an unknown
  // handle or a position that would fall below 0.
  virtual int64_t Seek(int32_t id, int origin, int64_t offset);

  // Exclusive, non-waiting lock of [offset, offset + length - 1]; true when
  // granted. Fails for an unknown handle, a length below 1, or an overlap
  // with any range already held in this process (or, for disk files, in
  // another process).
  virtual bool LockRange(int32_t id, int64_t offset, int64_t length);

  // Releases the range whose first byte and length equal the arguments
  // exactly; false when there is none.
  virtual bool UnlockRange(int32_t id, int64_t offset, int64_t length);

  // The file's recursive lock, for callers spanning several operations.
  void Enter() { lock_.lock(); }
  void Leave() { lock_.unlock(); }

  // The name as given (full path for disk files), never cut short: a
  // shortened path would name another file.
  const std::string& Name() const { return name_; }
  bool Exclusive() const { return exclusive_; }
  bool ReadOnly() const { return read_only_; }
  bool ReadOnlyAttribute() const { return read_only_attribute_; }
  bool Temporary() const { return temporary_; }
  uint16_t OpenCount() const { return open_count_; }

  // Flags TFileList sets before it (re)creates or opens a file without
  // handles.
  void SetExclusive(bool exclusive) { exclusive_ = exclusive; }
  void SetTemporary(bool temporary) { temporary_ = temporary; }

 protected:
  // Adds a handle entry with the next id at position 0 and returns the id.
  int32_t AddHandle();
  // Position of handle entry index i (REQUIRES: 0 <= i < handle count).
  int64_t& PositionAt(int i) { return handles_[i].position; }
  // True when [first, last] overlaps a held range.
  bool Overlaps(int64_t first, int64_t last) const;
  void AddLockEntry(int64_t offset, int64_t length);
  // Removes the exactly matching entry; false when there is none.
  bool RemoveLockEntry(int64_t offset, int64_t length);

  mutable std::recursive_mutex lock_;
  bool exclusive_ = false;
  bool read_only_ = false;
  bool read_only_attribute_ = false;
  bool temporary_ = false;
  std::string name_;
  int64_t size_ = 0;  // in-memory files only
  std::vector<LockEntry> locks_;
  uint16_t open_count_ = 0;
  std::vector<HandleEntry> handles_;
  int32_t last_handle_id_ = 0;
};

}  // namespace ficha
