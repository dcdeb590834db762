// A disk file, opened once per process whatever the number of its users.
//
// Sharing with other processes: a shared open takes flock(LOCK_SH), an
// exclusive open or a create flock(LOCK_EX), both without waiting, on the
// one descriptor of the process; a refusal is 11013 (access denied). All
// handles share one file position. Byte-range locks are open-file-description
// locks (F_OFD_SETLK, F_WRLCK), which conflict between processes, plus the
// file's lock entries, which make overlapping locks fail within the process
// too. A temporary file that was opened (not created) is removed at its last
// close; one that was created is left for its owner to delete.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lib/file/AbstractFile.h"

namespace ficha {

class TPhysicalFile : public TAbstractFile {
 public:
  TPhysicalFile(std::string_view name, bool exclusive, bool temporary);
  ~TPhysicalFile() override;  // closes the descriptor if still open

  bool InMemory() const override { return false; }
  int64_t Size() override;
  int32_t Create() override;
  // Without handles yet: reads the read-only attribute (owner write bit),
  // opens read-write (or read-only when the attribute is set), retries
  // read-only once when a read-write open is refused, then takes the sharing
  // lock. Fails with the mapped OS error.
  int32_t Open() override;
  void Close(int32_t id) override;
  int Rename(std::string_view new_name) override;
  int Delete() override;
  int64_t Read(int32_t id, void* buffer, int64_t count) override;
  int64_t Write(int32_t id, const void* buffer, int64_t count) override;
  int Flush() override;
  int64_t Seek(int32_t id, int origin, int64_t offset) override;
  bool LockRange(int32_t id, int64_t offset, int64_t length) override;
  bool UnlockRange(int32_t id, int64_t offset, int64_t length) override;

  // The operating-system descriptor; 0 when not open at that level.
  int Descriptor() const { return fd_ < 0 ? 0 : fd_; }

  // Operating-system operations on a file that is not in the list. Both fail
  // with -11013 while another process has the file open (tables in use must
  // not vanish under their other users), and a rename never
  // replaces an existing file (-11047, OS error EEXIST).
  static int RenameOnDisk(std::string_view name, std::string_view new_name);
  static int DeleteOnDisk(std::string_view name);

 private:
  void CloseDescriptor();

  int fd_ = -1;
  int64_t position_ = 0;  // the one file position shared by all handles
  bool delete_on_close_ = false;
  std::string os_path_;  // resolved path the descriptor was opened with
};

}  // namespace ficha
