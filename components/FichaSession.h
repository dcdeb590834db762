// TFichaSession: a named set of engine settings that owns one engine session
// while active, and the databases that belong to it.
//
// Datasets and databases refer to a session by SessionName (empty means the
// default session, see SessionList.h). Starting a session (Active := true)
// starts the default session first, takes an engine session (the default
// session shares the process-wide one, every other session has its own) and
// passes the settings to it in a fixed order. Settings changed on an active
// session go to the engine session at once, under the session lock.
//
// Databases: OpenDatabase/CloseDatabase are what datasets use. They find a
// database component of this session by name or create a temporary one (a
// database named after a directory, owned by the session), and count the
// dataset users. Stopping the session frees temporary databases and closes
// the others.
//
// Remote settings are carried as data only: remote access is not built, so
// starting a session of type stRemote raises engine error 11280.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "components/Component.h"
#include "components/EngineLink.h"

namespace ficha {

class TFichaDatabase;
class TSessionList;

enum class TLockProtocol { lpPessimistic, lpOptimistic };
enum class TSessionType { stLocal, stRemote };
enum class TRemoteType { rtLAN, rtInternet };

// A component that names its session (databases, datasets). An auto-named
// session gives its name to every such component of its owner.
class TSessionNameUser {
 public:
  virtual const std::string& SessionName() const = 0;
  virtual void SetSessionName(const std::string& name) = 0;

 protected:
  ~TSessionNameUser() = default;
};

class TFichaSession : public TComponent {
 public:
  // Raises "This auto-session already exists." when another session of the
  // same owner has AutoSessionName on.
  explicit TFichaSession(TComponent* owner);
  // Stops the session; its remaining databases move to the default session
  // (or lose their session when the default session itself goes).
  ~TFichaSession() override;

  std::string EngineVersion() const { return "3.30"; }
  void SetEngineVersion(const std::string& /*ignored*/) {}

  bool Active() const { return engine_ != nullptr; }
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }

  bool AutoSessionName() const { return auto_session_name_; }
  void SetAutoSessionName(bool on);
  bool ForceBufferFlush() const { return force_buffer_flush_; }
  void SetForceBufferFlush(bool on);
  bool KeepConnections() const { return keep_connections_; }
  void SetKeepConnections(bool on) { keep_connections_ = on; }
  uint8_t LockRetryCount() const { return lock_retry_count_; }
  void SetLockRetryCount(uint8_t count);
  uint16_t LockWaitTime() const { return lock_wait_time_; }
  void SetLockWaitTime(uint16_t ms);
  TLockProtocol LockProtocol() const { return lock_protocol_; }
  void SetLockProtocol(TLockProtocol protocol);
  const std::string& PrivateDir() const { return private_dir_; }
  void SetPrivateDir(const std::string& dir);
  uint16_t ProgressSteps() const { return progress_steps_; }
  // Values above 100 are ignored.
  void SetProgressSteps(uint16_t steps);
  const std::string& SessionName() const { return session_name_; }
  void SetSessionName(const std::string& name);
  bool StrictChangeDetection() const { return strict_change_detection_; }
  void SetStrictChangeDetection(bool on);

  // Remote settings: changing them requires an inactive session, except
  // RemoteTrace.
  TSessionType SessionType() const { return session_type_; }
  void SetSessionType(TSessionType type);
  TRemoteType RemoteType() const { return remote_type_; }
  void SetRemoteType(TRemoteType type);
  const std::string& RemoteHost() const { return remote_host_; }
  void SetRemoteHost(const std::string& host);
  const std::string& RemoteAddress() const { return remote_address_; }
  void SetRemoteAddress(const std::string& address);
  int RemotePort() const { return remote_port_; }
  void SetRemotePort(int port);
  const std::string& RemoteService() const { return remote_service_; }
  void SetRemoteService(const std::string& service);
  bool RemoteTrace() const { return remote_trace_; }
  void SetRemoteTrace(bool on) { remote_trace_ = on; }
  const std::string& RemoteUser() const { return remote_user_; }
  void SetRemoteUser(const std::string& user);
  const std::string& RemotePassword() const { return remote_password_; }
  void SetRemotePassword(const std::string& password);

  // Events.
  std::function<void(TFichaSession&)> OnStartup;
  // Asked for a table password: add it with AddPassword and set `retry`.
  std::function<void(TFichaSession&, bool& retry)> OnPassword;
  // Remote only; carried, never called.
  std::function<void(TFichaSession&, std::string& user, std::string& password, bool& ok)>
      OnRemoteLogin;
  std::function<void(TFichaSession&, const std::string& message)> OnRemoteTrace;

  // The five cache limits copied into the engine session at start.
  const EngineCacheLimits& CacheLimits() const { return cache_limits_; }

  bool IsDefault() const;
  // The engine session while active, else null. Owned by the session (or by
  // the session list for the default session).
  EngineSession* Engine() const { return engine_; }

  // The database components of this session, in the order they joined it.
  const std::vector<TFichaDatabase*>& Databases() const { return databases_; }
  // The first database of this session with that name (ignoring case).
  TFichaDatabase* FindDatabase(std::string_view name) const;
  // For datasets: the database of that name, preferring one of the same
  // owner as `requester` with HandleShared, else a new temporary database;
  // opened and its user count increased. A temporary database that cannot
  // be opened is freed and the error passes on.
  TFichaDatabase* OpenDatabase(std::string_view name, TComponent* requester);
  // For datasets: one user less; without users and without KeepConnection
  // the database is closed, or freed if temporary.
  void CloseDatabase(TFichaDatabase* database);

  // Table passwords, kept by the engine session; an inactive session is
  // started first.
  void AddPassword(const std::string& password);
  void RemovePassword(const std::string& password);
  void RemoveAllPasswords();
  // Asks OnPassword for another password; true when the caller should try
  // again. Without a handler the request is declined (a terminal program
  // has no password dialog).
  bool RequestPassword();

  // Holds the session lock for its lifetime (re-entrant).
  class Lock {
   public:
    explicit Lock(TFichaSession& session);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    TFichaSession& session_;
  };

  void Loaded() override;

 protected:
  void Notification(TComponent* component, Operation operation) override;

 private:
  friend class TSessionList;
  friend class TFichaDatabase;

  TFichaSession(TComponent* owner, TSessionList& list, const std::string& name);

  void StartSession();
  void StopSession();
  void ApplyAutoSessionName();
  void CheckInactive() const;
  void GiveNameTo(TComponent* component);

  TSessionList& list_;
  EngineSession* engine_ = nullptr;
  std::unique_ptr<EngineSession> own_engine_;
  std::vector<TFichaDatabase*> databases_;
  int lock_count_ = 0;
  int auto_session_number_ = -1;
  EngineCacheLimits cache_limits_ = kDefaultEngineCacheLimits;

  bool streamed_active_ = false;
  bool auto_session_name_ = false;
  bool force_buffer_flush_ = false;
  bool keep_connections_ = true;
  uint8_t lock_retry_count_ = 15;
  uint16_t lock_wait_time_ = 100;
  TLockProtocol lock_protocol_ = TLockProtocol::lpPessimistic;
  std::string private_dir_;
  uint16_t progress_steps_ = 20;
  std::string session_name_;
  bool strict_change_detection_ = false;
  TSessionType session_type_ = TSessionType::stLocal;
  TRemoteType remote_type_ = TRemoteType::rtLAN;
  std::string remote_host_;
  std::string remote_address_ = "127.0.0.1";
  int remote_port_ = 12005;
  std::string remote_service_;
  bool remote_trace_ = false;
  std::string remote_user_;
  std::string remote_password_;
};

}  // namespace ficha
