// Operating-system errors of the file layer.
//
// The file layer reports failures as negated engine codes. The errno value of
// the failed call is also kept per thread, so that whoever raises the engine
// error afterwards can record it as the OS error code (RaiseEngineError reads
// errno; RestoreOsError puts the kept value back into errno first).
#pragma once

namespace ficha {

// Engine code (positive) for an errno value:
//   ENOENT, ENOTDIR -> 11010   EMFILE, ENFILE -> 11012
//   EACCES, EPERM, EWOULDBLOCK, EROFS, ETXTBSY -> 11013
//   EBADF -> 11014   ENOMEM -> 11016   ENODEV, ENXIO -> 11023
//   EXDEV -> 11025   anything else -> 11047
int MapOsError(int os_error);

// Keeps os_error as this thread's last file-layer OS error and returns the
// negated engine code for it.
int FailWithOsError(int os_error);

// This thread's last file-layer OS error (0 before any failure).
int LastFileOsError();

// Stores os_error as this thread's last file-layer OS error without mapping.
void SetLastFileOsError(int os_error);

// Sets errno to LastFileOsError(), for a raise that follows.
void RestoreOsError();

}  // namespace ficha
