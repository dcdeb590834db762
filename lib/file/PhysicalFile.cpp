#include "lib/file/PhysicalFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "common/ErrorCodes.h"
#include "lib/file/OsError.h"
#include "lib/file/OsPath.h"

namespace ficha {

namespace {

int OpenDescriptor(const std::string& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int Flock(int fd, int operation) {
  int r;
  do {
    r = ::flock(fd, operation);
  } while (r < 0 && errno == EINTR);
  return r;
}

// Takes the sharing lock without waiting; on refusal closes fd and returns the
// mapped error (access denied).
int TakeSharing(int fd, bool exclusive) {
  if (Flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return 0;
  int err = errno;
  ::close(fd);
  return FailWithOsError(err == EWOULDBLOCK ? EACCES : err);
}

// -11013 when another process holds the file open (its sharing lock), else 0.
// Files we cannot open for the test are left to the operation itself.
int CheckNotInUse(const std::string& path) {
  int fd = OpenDescriptor(path, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return 0;
  int r = Flock(fd, LOCK_EX | LOCK_NB);
  ::close(fd);
  return r == 0 ? 0 : FailWithOsError(EACCES);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool ValidRange(int64_t offset, int64_t length) {
  return length >= 1 && offset >= 0 && offset <= INT64_MAX - length;
}

int SetRangeLock(int fd, short type, int64_t offset, int64_t length) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;
  int r;
  do {
    r = ::fcntl(fd, F_OFD_SETLK, &fl);
  } while (r < 0 && errno == EINTR);
  return r;
}

}  // namespace

TPhysicalFile::TPhysicalFile(std::string_view name, bool exclusive, bool temporary)
    : TAbstractFile(name, exclusive, temporary) {}

TPhysicalFile::~TPhysicalFile() { CloseDescriptor(); }

int64_t TPhysicalFile::Size() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (fd_ < 0) return FailWithOsError(EBADF);
  struct stat st;
  if (::fstat(fd_, &st) != 0) return FailWithOsError(errno);
  return st.st_size;
}

int32_t TPhysicalFile::Create() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  CloseDescriptor();
  os_path_ = ResolveOsPath(name_);
  // Truncate only once no other process can be using the file.
  int fd = OpenDescriptor(os_path_, O_RDWR | O_CREAT);
  if (fd < 0) return FailWithOsError(errno);
  if (int r = TakeSharing(fd, true); r < 0) return r;
  if (::ftruncate(fd, 0) != 0) {
    int err = errno;
    ::close(fd);
    return FailWithOsError(err);
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  position_ = 0;
  read_only_ = false;
  read_only_attribute_ = false;
  delete_on_close_ = false;  // a created temporary file is deleted by its owner
  return AddHandle();
}

int32_t TPhysicalFile::Open() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (open_count_ > 0 && fd_ >= 0) return AddHandle();
  read_only_attribute_ = false;
  os_path_ = ResolveOsPath(name_);
  struct stat st;
  if (::stat(os_path_.c_str(), &st) != 0) return FailWithOsError(errno);
  if (S_ISDIR(st.st_mode)) return FailWithOsError(EACCES);
  // The owner's write bit stands for the read-only attribute; root could
  // write anyway, so the bit is checked rather than access().
  if ((st.st_mode & S_IWUSR) == 0) {
    read_only_attribute_ = true;
    read_only_ = true;
  } else {
    read_only_ = false;
  }
  int fd = OpenDescriptor(os_path_, read_only_ ? O_RDONLY : O_RDWR);
  if (fd < 0 && !read_only_ && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd = OpenDescriptor(os_path_, O_RDONLY);
    if (fd >= 0) read_only_ = true;
  }
  if (fd < 0) return FailWithOsError(errno);
  if (int r = TakeSharing(fd, exclusive_); r < 0) return r;
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  position_ = 0;
  delete_on_close_ = temporary_;
  return AddHandle();
}

void TPhysicalFile::Close(int32_t id) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  TAbstractFile::Close(id);
  if (open_count_ == 0) CloseDescriptor();
}

void TPhysicalFile::CloseDescriptor() {
  if (fd_ < 0) return;
  // Delete-on-close: the file goes once no process has it open any more; when
  // another process still shares it, its last close removes it.
  if (delete_on_close_ && Flock(fd_, LOCK_EX | LOCK_NB) == 0) ::unlink(os_path_.c_str());
  ::close(fd_);  // also drops the range locks and the sharing lock
  fd_ = -1;
  locks_.clear();
  delete_on_close_ = false;
}

int TPhysicalFile::Rename(std::string_view new_name) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (int r = RenameOnDisk(name_, new_name); r < 0) return r;
  name_ = std::string(new_name);
  return 0;
}

int TPhysicalFile::Delete() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (fd_ >= 0) return FailWithOsError(EACCES);
  return DeleteOnDisk(name_);
}

int TPhysicalFile::RenameOnDisk(std::string_view name, std::string_view new_name) {
  std::string from = ResolveOsPath(name);
  struct stat st;
  if (::stat(from.c_str(), &st) != 0) return FailWithOsError(errno);
  // The target directory as it exists, the target name as written (a rename
  // may change only the case of a name).
  std::string target = ToOsPath(new_name);
  size_t cut = target.find_last_of('/');
  if (cut != std::string::npos) {
    target = ResolveOsPath(target.substr(0, cut + 1)) + target.substr(cut + 1);
  }
  if (target == from) return 0;
  std::string existing = ResolveOsPath(new_name);
  struct stat se;
  if (::stat(existing.c_str(), &se) == 0 && !SameFile(existing, from)) {
    return FailWithOsError(EEXIST);
  }
  if (int r = CheckNotInUse(from); r < 0) return r;
  int r = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, target.c_str(),
                      existing == from ? 0 : RENAME_NOREPLACE);
  if (r != 0) return FailWithOsError(errno);
  return 0;
}

int TPhysicalFile::DeleteOnDisk(std::string_view name) {
  std::string path = ResolveOsPath(name);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return FailWithOsError(errno);
  if (!S_ISREG(st.st_mode)) return FailWithOsError(EACCES);
  if (int r = CheckNotInUse(path); r < 0) return r;
  if (::unlink(path.c_str()) != 0) return FailWithOsError(errno);
  return 0;
}

int64_t TPhysicalFile::Read(int32_t id, void* buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (FindHandle(id) < 0 || fd_ < 0 || count < 0) {
    SetLastFileOsError(EBADF);
    return -1;
  }
  char* out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd_, out + done, static_cast<size_t>(count - done), position_ + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastFileOsError(errno);
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  position_ += done;
  return done;
}

int64_t TPhysicalFile::Write(int32_t id, const void* buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (FindHandle(id) < 0 || fd_ < 0 || count < 0) {
    SetLastFileOsError(EBADF);
    return -1;
  }
  if (count == 0) {
    if (::ftruncate(fd_, position_) != 0) {
      SetLastFileOsError(errno);
      return -1;
    }
    return 0;
  }
  const char* in = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(fd_, in + done, static_cast<size_t>(count - done), position_ + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastFileOsError(errno);
      position_ += done;
      return -1;
    }
    done += n;
  }
  position_ += done;
  return done;
}

int TPhysicalFile::Flush() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (fd_ < 0) return FailWithOsError(EBADF);
  if (::fdatasync(fd_) != 0) return FailWithOsError(errno);
  return 0;
}

int64_t TPhysicalFile::Seek(int32_t id, int origin, int64_t offset) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (FindHandle(id) < 0 || fd_ < 0) {
    SetLastFileOsError(EBADF);
    return -1;
  }
  int64_t target;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = position_ + offset;
      break;
    case 2: {
      int64_t size = Size();
      if (size < 0) return -1;
      target = size + offset;
      break;
    }
    default:
      SetLastFileOsError(EINVAL);
      return -1;
  }
  if (target < 0) {
    SetLastFileOsError(EINVAL);
    return -1;
  }
  position_ = target;
  return position_;
}

bool TPhysicalFile::LockRange(int32_t id, int64_t offset, int64_t length) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (FindHandle(id) < 0 || fd_ < 0 || !ValidRange(offset, length)) return false;
  if (Overlaps(offset, offset + length - 1)) return false;
  // A write lock needs a descriptor open for writing; a file open read-only
  // falls back to a read lock, which still keeps writers' locks out.
  if (SetRangeLock(fd_, F_WRLCK, offset, length) != 0) {
    if (errno != EBADF || !read_only_ || SetRangeLock(fd_, F_RDLCK, offset, length) != 0) {
      return false;
    }
  }
  AddLockEntry(offset, length);
  return true;
}

bool TPhysicalFile::UnlockRange(int32_t id, int64_t offset, int64_t length) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (FindHandle(id) < 0 || fd_ < 0) return false;
  if (!RemoveLockEntry(offset, length)) return false;
  SetRangeLock(fd_, F_UNLCK, offset, length);
  return true;
}

}  // namespace ficha
