#include "components/FichaSession.h"

#include <algorithm>
#include <mutex>

#include "common/EngineError.h"
#include "common/ErrorCodes.h"
#include "components/DatabaseErrors.h"
#include "components/FichaDatabase.h"
#include "components/NameCompare.h"
#include "components/SessionList.h"

namespace ficha {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// The private directory as the engine takes it: trimmed, with a trailing
// backslash. An empty one stays empty, so that the engine keeps its own
// default instead of the root directory.
std::string EnginePrivateDir(const std::string& dir) {
  std::string d = Trim(dir);
  if (!d.empty() && d.back() != '\\') d += '\\';
  return d;
}

EngineLockProtocol ToEngine(TLockProtocol p) {
  return p == TLockProtocol::lpOptimistic ? EngineLockProtocol::kOptimistic
                                          : EngineLockProtocol::kPessimistic;
}

}  // namespace

TFichaSession::Lock::Lock(TFichaSession& session) : session_(session) {
  session_.list_.SessionLock().lock();
  ++session_.lock_count_;
}

TFichaSession::Lock::~Lock() {
  --session_.lock_count_;
  session_.list_.SessionLock().unlock();
}

TFichaSession::TFichaSession(TComponent* owner) : TFichaSession(owner, Sessions(), "") {}

TFichaSession::TFichaSession(TComponent* owner, TSessionList& list, const std::string& name)
    : TComponent(owner), list_(list), session_name_(name) {
  if (owner != nullptr) {
    for (TComponent* c : owner->Components()) {
      auto* other = dynamic_cast<TFichaSession*>(c);
      if (other != nullptr && other != this && other->AutoSessionName()) {
        RaiseDatabaseError(kAutoSessionExists, other->Name());
      }
    }
  }
  list_.Add(this);
  NotifyInserted();
}

TFichaSession::~TFichaSession() {
  Lock lock(*this);
  StopSession();
  if (auto_session_number_ >= 0) list_.ReleaseAutoSessionNumber(auto_session_number_);
  list_.Remove(this);
  // Temporary databases go with the session; those of other owners stay
  // alive and fall back to the default session (they resolve theirs again
  // when they connect).
  TFichaSession* fallback = IsDefault() ? nullptr : list_.DefaultSession();
  std::vector<TFichaDatabase*> remaining = databases_;
  for (TFichaDatabase* db : remaining) {
    if (db->Owner() == this) {
      delete db;
    } else {
      db->MoveToSession(fallback);
    }
  }
  databases_.clear();
}

bool TFichaSession::IsDefault() const { return list_.DefaultSession() == this; }

void TFichaSession::SetActive(bool active) {
  if (Loading()) {
    streamed_active_ = active;
    return;
  }
  if (active) {
    StartSession();
  } else {
    StopSession();
  }
}

void TFichaSession::StartSession() {
  Lock lock(*this);
  if (Active()) return;
  if (OnStartup) OnStartup(*this);
  if (session_name_.empty()) RaiseDatabaseError(kSessionNameMissing);
  if (!IsDefault()) {
    TFichaSession* def = list_.DefaultSession();
    if (def != nullptr) def->SetActive(true);
  }
  try {
    if (IsDefault()) {
      engine_ = &list_.ProcessEngineSession();
    } else {
      own_engine_ = CreateEngineSession();
      engine_ = own_engine_.get();
    }
    engine_->SetPrivateDirectory(EnginePrivateDir(private_dir_));
    engine_->SetStrictChangeDetection(strict_change_detection_);
    engine_->SetForceBufferFlush(force_buffer_flush_);
    engine_->SetLockRetryCount(lock_retry_count_);
    engine_->SetLockWaitTime(lock_wait_time_);
    engine_->SetLockProtocol(ToEngine(lock_protocol_));
    engine_->SetProgressSteps(progress_steps_);
    engine_->SetCacheLimits(cache_limits_);
    if (session_type_ != TSessionType::stLocal) {
      // Remote access is not built: no server can be reached.
      RaiseEngineError(FICHA_REMOTECONNECT, {}, {}, {}, {},
                       remote_host_.empty() ? remote_address_ : remote_host_);
    }
    engine_->SetLocal();
  } catch (...) {
    StopSession();
    throw;
  }
}

void TFichaSession::StopSession() {
  Lock lock(*this);
  if (!Active()) return;
  std::vector<TFichaDatabase*> dbs = databases_;
  for (TFichaDatabase* db : dbs) {
    if (db->Temporary()) {
      delete db;
    } else {
      db->Close();
    }
  }
  engine_ = nullptr;
  own_engine_.reset();
}

void TFichaSession::Loaded() {
  TComponent::Loaded();
  if (auto_session_name_ && auto_session_number_ < 0) {
    auto_session_name_ = false;
    SetAutoSessionName(true);
  }
  if (streamed_active_) SetActive(true);
}

void TFichaSession::CheckInactive() const {
  if (Active()) RaiseDatabaseError(kSessionActive);
}

void TFichaSession::SetAutoSessionName(bool on) {
  if (on == auto_session_name_) return;
  if (Loading()) {
    auto_session_name_ = on;
    return;
  }
  CheckInactive();
  if (on) {
    ApplyAutoSessionName();
  } else {
    list_.ReleaseAutoSessionNumber(auto_session_number_);
    auto_session_number_ = -1;
    auto_session_name_ = false;
  }
}

void TFichaSession::ApplyAutoSessionName() {
  if (Owner() != nullptr) {
    for (TComponent* c : Owner()->Components()) {
      if (c != this && dynamic_cast<TFichaSession*>(c) != nullptr) {
        RaiseDatabaseError(kAutoSessionExclusive);
      }
    }
  }
  auto_session_number_ = list_.TakeAutoSessionNumber();
  auto_session_name_ = true;
  list_.RenameSession(this, Name() + "_" + std::to_string(auto_session_number_ + 1), false);
  if (Owner() != nullptr) {
    for (TComponent* c : Owner()->Components()) GiveNameTo(c);
  }
}

void TFichaSession::GiveNameTo(TComponent* component) {
  if (component == this) return;
  auto* user = dynamic_cast<TSessionNameUser*>(component);
  if (user != nullptr && user->SessionName() != session_name_) user->SetSessionName(session_name_);
}

void TFichaSession::Notification(TComponent* component, Operation operation) {
  if (operation == Operation::kInsert && auto_session_name_ && auto_session_number_ >= 0) {
    GiveNameTo(component);
  }
}

void TFichaSession::SetSessionName(const std::string& name) {
  if (name == session_name_) return;
  if (auto_session_name_) RaiseDatabaseError(kAutoSessionActive);
  CheckInactive();
  if (!list_.RenameSession(this, name, true)) RaiseDatabaseError(kDuplicateSessionName, name);
}

void TFichaSession::SetPrivateDir(const std::string& dir) {
  if (Active()) {
    Lock lock(*this);
    if (dir != private_dir_) engine_->SetPrivateDirectory(EnginePrivateDir(dir));
  }
  private_dir_ = dir;
}

void TFichaSession::SetProgressSteps(uint16_t steps) {
  if (steps > 100) return;
  if (Active()) {
    Lock lock(*this);
    if (steps != progress_steps_) engine_->SetProgressSteps(steps);
  }
  progress_steps_ = steps;
}

void TFichaSession::SetForceBufferFlush(bool on) {
  if (Active()) {
    Lock lock(*this);
    if (on != force_buffer_flush_) engine_->SetForceBufferFlush(on);
  }
  force_buffer_flush_ = on;
}

void TFichaSession::SetLockRetryCount(uint8_t count) {
  if (Active()) {
    Lock lock(*this);
    if (count != lock_retry_count_) engine_->SetLockRetryCount(count);
  }
  lock_retry_count_ = count;
}

void TFichaSession::SetLockWaitTime(uint16_t ms) {
  if (Active()) {
    Lock lock(*this);
    if (ms != lock_wait_time_) engine_->SetLockWaitTime(ms);
  }
  lock_wait_time_ = ms;
}

void TFichaSession::SetLockProtocol(TLockProtocol protocol) {
  if (Active()) {
    Lock lock(*this);
    if (protocol != lock_protocol_) engine_->SetLockProtocol(ToEngine(protocol));
  }
  lock_protocol_ = protocol;
}

void TFichaSession::SetStrictChangeDetection(bool on) {
  if (Active()) {
    Lock lock(*this);
    if (on != strict_change_detection_) engine_->SetStrictChangeDetection(on);
  }
  strict_change_detection_ = on;
}

void TFichaSession::SetSessionType(TSessionType type) {
  if (type == session_type_) return;
  CheckInactive();
  session_type_ = type;
}

void TFichaSession::SetRemoteType(TRemoteType type) {
  if (type == remote_type_) return;
  CheckInactive();
  remote_type_ = type;
}

void TFichaSession::SetRemoteHost(const std::string& host) {
  if (host == remote_host_) return;
  CheckInactive();
  remote_host_ = host;
}

void TFichaSession::SetRemoteAddress(const std::string& address) {
  if (address == remote_address_) return;
  CheckInactive();
  remote_address_ = address;
}

void TFichaSession::SetRemotePort(int port) {
  if (port == remote_port_) return;
  CheckInactive();
  remote_port_ = port;
}

void TFichaSession::SetRemoteService(const std::string& service) {
  if (service == remote_service_) return;
  CheckInactive();
  remote_service_ = service;
}

void TFichaSession::SetRemoteUser(const std::string& user) {
  if (user == remote_user_) return;
  CheckInactive();
  remote_user_ = user;
}

void TFichaSession::SetRemotePassword(const std::string& password) {
  if (password == remote_password_) return;
  CheckInactive();
  remote_password_ = password;
}

TFichaDatabase* TFichaSession::FindDatabase(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(list_.SessionLock());
  std::string wanted = WithBackslashes(name);
  for (TFichaDatabase* db : databases_) {
    if (SameName(db->DatabaseName(), wanted)) return db;
  }
  return nullptr;
}

TFichaDatabase* TFichaSession::OpenDatabase(std::string_view name, TComponent* requester) {
  Lock lock(*this);
  std::string wanted = WithBackslashes(name);
  TFichaDatabase* db = nullptr;
  for (TFichaDatabase* d : databases_) {
    if (requester != nullptr && d->Owner() == requester->Owner() && d->HandleShared() &&
        SameName(d->DatabaseName(), wanted)) {
      db = d;
      break;
    }
  }
  if (db == nullptr) db = FindDatabase(wanted);
  bool created = false;
  if (db == nullptr) {
    db = new TFichaDatabase(this);
    created = true;
    db->temporary_ = true;
    db->database_name_ = wanted;
    db->session_name_ = session_name_;
    if (session_type_ == TSessionType::stRemote) {
      db->remote_database_ = wanted;
    } else if (!SameName(wanted, "Memory")) {
      db->directory_ = wanted;
    }
    db->keep_connection_ = keep_connections_;
  }
  try {
    db->Open();
  } catch (...) {
    // A session that fails to start stops again and frees its temporary
    // databases, this one included.
    bool still_here = std::find(databases_.begin(), databases_.end(), db) != databases_.end();
    if (created && still_here) delete db;
    throw;
  }
  ++db->ref_count_;
  return db;
}

void TFichaSession::CloseDatabase(TFichaDatabase* database) {
  Lock lock(*this);
  if (database->ref_count_ > 0) --database->ref_count_;
  if (database->ref_count_ == 0 && !database->keep_connection_ && !database->closing_) {
    if (database->Temporary()) {
      delete database;
    } else {
      database->Close();
    }
  }
}

void TFichaSession::AddPassword(const std::string& password) {
  Lock lock(*this);
  StartSession();
  engine_->AddPassword(password);
}

void TFichaSession::RemovePassword(const std::string& password) {
  Lock lock(*this);
  StartSession();
  engine_->RemovePassword(password);
}

void TFichaSession::RemoveAllPasswords() {
  Lock lock(*this);
  StartSession();
  engine_->RemoveAllPasswords();
}

bool TFichaSession::RequestPassword() {
  if (!OnPassword) return false;
  bool retry = false;
  OnPassword(*this, retry);
  return retry;
}

}  // namespace ficha
