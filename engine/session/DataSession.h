// The engine session: a set of engine settings and the databases opened
// through it.
//
// A session owns its databases (TDataDirectory), in opening order; a database
// opened twice with the same directory is the same object with a higher use
// count. The settings are read by the shared tables and the file caches of
// every database of the session. Only the local mode is built: the remote
// flag is carried, nothing talks to a server.
//
// Used from one thread; nothing here is locked against other threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data/TableOwner.h"

namespace ficha {

class TDataDirectory;

enum class TDataLockProtocol : uint8_t { kPessimistic = 0, kOptimistic = 1 };

class TDataSession {
 public:
  static constexpr size_t kMaxPathText = 255;

  // Takes the process's current directory as the startup directory and the
  // platform's temporary-files directory as the private directory.
  TDataSession();
  // Destroys every database (each rolls back an active transaction first).
  ~TDataSession();

  TDataSession(const TDataSession&) = delete;
  TDataSession& operator=(const TDataSession&) = delete;

  // Opens the database of directory path, or the in-memory database when
  // database_name is "Memory" (any case). A database of this session with the
  // same directory (trimmed, without regard to case, "/" and "\" alike) is
  // reused with its use count raised. The session owns the result.
  TDataDirectory* OpenDirectory(std::string_view database_name, std::string_view path);

  // Releases one use of database; at 0 it is destroyed. A database that is
  // not this session's is ignored.
  void CloseDirectory(TDataDirectory* database);

  // The open databases, in opening order.
  const std::vector<std::unique_ptr<TDataDirectory>>& Directories() const { return directories_; }

  // Table passwords known to the session; exact, case-sensitive texts.
  // AddPassword ignores an empty text and one already known.
  void AddPassword(std::string_view password);
  void RemovePassword(std::string_view password);  // the first equal entry
  void RemoveAllPasswords();
  bool HasPassword(std::string_view password) const;
  const std::vector<std::string>& Passwords() const { return passwords_; }

  // The private directory, or the startup directory when it is empty.
  std::string PrivateDirectory() const;
  // Empty stays empty; any other text is trimmed and gets a trailing "\"
  // (a trailing "/" counts as one).
  void SetPrivateDirectory(std::string_view directory);
  // The current directory at creation, with a trailing "\".
  const std::string& StartupDirectory() const { return startup_directory_; }

  // Each setter does nothing when the value is unchanged.
  uint16_t ProgressSteps() const { return progress_steps_; }
  void SetProgressSteps(uint16_t steps);
  bool ForceBufferFlush() const { return force_buffer_flush_; }
  void SetForceBufferFlush(bool on);
  bool StrictChangeDetection() const { return strict_change_detection_; }
  void SetStrictChangeDetection(bool on);
  uint8_t LockRetryCount() const { return lock_retry_count_; }
  void SetLockRetryCount(uint8_t count);
  uint16_t LockWaitTime() const { return lock_wait_time_; }
  void SetLockWaitTime(uint16_t milliseconds);
  TDataLockProtocol LockProtocol() const { return lock_protocol_; }
  void SetLockProtocol(TDataLockProtocol protocol);

  const TCacheLimits& CacheLimits() const { return cache_limits_; }
  void SetCacheLimits(const TCacheLimits& limits) { cache_limits_ = limits; }

  // Remote mode is not built; the flag is only carried.
  bool Remote() const { return remote_; }
  void SetLocal() { remote_ = false; }

  // The directory text rule shared by sessions and databases: trimmed, with
  // a trailing "\" added unless it ends in "\" or "/"; empty stays empty.
  static std::string NormalizeDirectory(std::string_view path);

 private:
  std::vector<std::unique_ptr<TDataDirectory>> directories_;
  std::string startup_directory_;
  std::string private_directory_;
  uint16_t progress_steps_ = 20;
  std::vector<std::string> passwords_;
  bool force_buffer_flush_ = false;
  bool strict_change_detection_ = false;
  uint8_t lock_retry_count_ = 15;
  uint16_t lock_wait_time_ = 100;
  TDataLockProtocol lock_protocol_ = TDataLockProtocol::kPessimistic;
  bool remote_ = false;
  TCacheLimits cache_limits_;
};

}  // namespace ficha
