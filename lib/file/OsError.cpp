#include "lib/file/OsError.h"

#include <cerrno>

#include "common/ErrorCodes.h"

namespace ficha {

namespace {
thread_local int last_os_error = 0;
}  // namespace

int MapOsError(int os_error) {
  switch (os_error) {
    case ENOENT:
    case ENOTDIR:
      return FICHA_OSENOENT;
    case EMFILE:
    case ENFILE:
      return FICHA_OSEMFILE;
    case EACCES:
    case EPERM:
    case EWOULDBLOCK:
    case EROFS:
    case ETXTBSY:
      return FICHA_OSEACCES;
    case EBADF:
      return FICHA_OSEBADF;
    case ENOMEM:
      return FICHA_OSENOMEM;
    case ENODEV:
    case ENXIO:
      return FICHA_OSENODEV;
    case EXDEV:
      return FICHA_OSENOTSAM;
    default:
      return FICHA_OSUNKNOWN;
  }
}

int FailWithOsError(int os_error) {
  last_os_error = os_error;
  return -MapOsError(os_error);
}

int LastFileOsError() { return last_os_error; }

void SetLastFileOsError(int os_error) { last_os_error = os_error; }

void RestoreOsError() { errno = last_os_error; }

}  // namespace ficha
