// The link between the components and the storage engine: what a session
// component needs of an engine session and a database component of an engine
// database. The components only see these two interfaces; EngineLink.cpp
// decides which engine objects stand behind them.
//
// The storage engine's own session and databases stand behind them
// (EngineLinkData.h); datasets reach the engine directory of a database
// through DataDirectoryOf.
//
// Every operation that fails raises EFichaEngineError (common/EngineError.h).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace ficha {

// Buffer cache limits in the order the engine takes them: data buffer
// bytes, data buffer count, index buffer bytes, blob buffer bytes, blob
// buffer count.
using EngineCacheLimits = std::array<int32_t, 5>;
constexpr EngineCacheLimits kDefaultEngineCacheLimits = {16384, 8192, 16384, 32768, 8192};

// One open database (a directory of tables) of an engine session. Owned by
// its engine session; valid until the session's CloseDirectory releases its
// last use.
class EngineDatabase {
 public:
  virtual ~EngineDatabase() = default;

  // Directory with a trailing backslash (empty for the in-memory database
  // without a path).
  virtual std::string Directory() const = 0;
  virtual bool InTransaction() const = 0;

  // Starting inside a transaction does nothing; the component layer reports
  // that case itself.
  virtual void StartTransaction() = 0;
  virtual void Commit(bool force_flush) = 0;
  virtual void Rollback() = 0;
};

// Lock protocol values as the engine stores them.
enum class EngineLockProtocol : uint8_t { kPessimistic = 0, kOptimistic = 1 };

// An engine session: settings, open databases and table passwords. Each
// setter does nothing when the value is unchanged.
class EngineSession {
 public:
  virtual ~EngineSession() = default;

  // Stores "" as empty; any other text trimmed with a trailing backslash.
  virtual void SetPrivateDirectory(const std::string& dir) = 0;
  // The private directory, or the startup directory when it is empty.
  virtual std::string PrivateDirectory() const = 0;
  virtual void SetStrictChangeDetection(bool on) = 0;
  virtual void SetForceBufferFlush(bool on) = 0;
  virtual void SetLockRetryCount(uint8_t count) = 0;
  virtual void SetLockWaitTime(uint16_t ms) = 0;
  virtual void SetLockProtocol(EngineLockProtocol protocol) = 0;
  virtual void SetProgressSteps(uint16_t steps) = 0;
  virtual void SetCacheLimits(const EngineCacheLimits& limits) = 0;
  // Marks the session as working on local files.
  virtual void SetLocal() = 0;

  virtual bool StrictChangeDetection() const = 0;
  virtual bool ForceBufferFlush() const = 0;
  virtual uint8_t LockRetryCount() const = 0;
  virtual uint16_t LockWaitTime() const = 0;
  virtual EngineLockProtocol LockProtocol() const = 0;
  virtual uint16_t ProgressSteps() const = 0;
  virtual EngineCacheLimits CacheLimits() const = 0;
  virtual bool Local() const = 0;

  // Opens (or reuses, by directory ignoring case) a database. An empty
  // directory means the startup directory; the name "Memory" (any case)
  // names the in-memory database, whose empty directory stays empty.
  // Returns a database owned by this session.
  virtual EngineDatabase* OpenDirectory(const std::string& name, const std::string& directory) = 0;
  // Releases one use; at the last one the database is destroyed (rolling
  // back an active transaction). Unknown databases are ignored.
  virtual void CloseDirectory(EngineDatabase* database) = 0;
  // Number of databases open in this session.
  virtual size_t DirectoryCount() const = 0;

  // Empty and duplicate passwords are ignored; comparison is exact.
  virtual void AddPassword(const std::string& password) = 0;
  virtual void RemovePassword(const std::string& password) = 0;
  virtual void RemoveAllPasswords() = 0;
  virtual bool HasPassword(const std::string& password) const = 0;
};

// A new engine session with the engine's defaults; the startup directory is
// the process's current directory at this call.
std::unique_ptr<EngineSession> CreateEngineSession();

}  // namespace ficha
