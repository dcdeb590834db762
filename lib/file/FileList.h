// The list of every file open in the process.
//
// All opening, creating, closing, renaming, deleting, existence tests and
// whole-file copies go through the one process-wide list (FileList()). A file
// is identified by its kind (in-memory or disk) and its name; names are
// compared after trimming surrounding blanks and control characters, with
// "\" and "/" alike and without regard to case. An in-memory file and a disk
// file of the same name are different files.
//
// The list owns its TAbstractFile objects. A disk file stays in the list from
// its first create or open until its last handle closes; an in-memory file
// stays, with its content, until it is deleted or the process ends.
//
// Results are 0 or a handle id on success and a negated engine code on
// failure. Every operation holds the list's recursive lock for its whole
// duration; the list's lock may be held while a file's lock is taken, never
// the other way round.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "lib/file/AbstractFile.h"

namespace ficha {

// Progress of a whole-file copy: called with the caller's argument and the
// percentage done (0..100) each time it has grown by at least the step.
using TCopyProgress = void (*)(void* argument, int percent);

// What a successful open hands back.
struct TFileOpenResult {
  TAbstractFile* file = nullptr;  // owned by the list
  int32_t handle = 0;
  bool read_only = false;
  bool read_only_attribute = false;
};

class TFileList {
 public:
  static constexpr int64_t kCopyBlock = 65536;

  TFileList();
  ~TFileList();  // destroys all remaining file objects

  TFileList(const TFileList&) = delete;
  TFileList& operator=(const TFileList&) = delete;

  // Creates (or empties) the file and opens a handle on it, exclusively.
  // -11013 when the file is open in this process (or, for a disk file, in
  // another one). On success *file is the shared file object.
  int32_t Create(std::string_view name, bool in_memory, bool temporary, TAbstractFile** file);

  // Opens a handle. -11013 when the file is open here and either side wants
  // exclusive use (or a disk file is refused by another process); -11010
  // when it does not exist.
  int32_t Open(std::string_view name, bool in_memory, bool exclusive, bool temporary,
               TFileOpenResult* result);

  // Closes handle id of file. -11010 when file is not in the list or has no
  // open handle. The file object may be destroyed by this call.
  int Close(TAbstractFile* file, bool in_memory, int32_t id);

  // -11013 while the file is open; -11010 for an unknown in-memory file.
  int Rename(std::string_view name, bool in_memory, std::string_view new_name);
  int Delete(std::string_view name, bool in_memory);

  // In the list, or (disk) a regular file of that name, ignoring case.
  bool Exists(std::string_view name, bool in_memory);

  // Copies the whole content of source (through handle source_handle) into a
  // newly created, non-temporary file of the same kind named destination,
  // 65536 bytes at a time, calling progress (when given) whenever the
  // percentage has grown by at least step since the last call.
  int CopyTo(TAbstractFile* source, int32_t source_handle, std::string_view destination, int step,
             TCopyProgress progress, void* argument);

  // Overwrites target from its first byte with the whole content of the named
  // file of the same kind, opened exclusively; bytes beyond the copied length
  // keep their content. Same progress rule.
  int CopyFrom(TAbstractFile* target, int32_t target_handle, std::string_view source, int step,
               TCopyProgress progress, void* argument);

  // Number of file objects now in the list.
  size_t Count();

  // The comparison key of a name: trimmed, "\" as "/", folded to lower case.
  static std::string NameKey(std::string_view name);

 private:
  // The first file of the kind whose key equals key; nullptr when none.
  // REQUIRES: lock_ held.
  TAbstractFile* Find(const std::string& key, bool in_memory) const;
  // Removes and destroys file. REQUIRES: lock_ held.
  void Discard(TAbstractFile* file);

  std::recursive_mutex lock_;
  std::vector<std::unique_ptr<TAbstractFile>> files_;
};

// The process-wide list, created on first use and destroyed at exit.
TFileList& FileList();

// False once the process-wide list has been destroyed at exit, so that
// handlers destroyed later leave it alone.
bool FileListAlive();

}  // namespace ficha
