#include "components/FichaDatabase.h"

#include <algorithm>
#include <mutex>

#include "components/DatabaseErrors.h"
#include "components/NameCompare.h"
#include "components/SessionList.h"

namespace ficha {

TFichaDatabase::TFichaDatabase(TComponent* owner) : TComponent(owner) {
  auto* owning_session = dynamic_cast<TFichaSession*>(owner);
  MoveToSession(owning_session != nullptr ? owning_session : Sessions().DefaultSession());
  NotifyInserted();
}

TFichaDatabase::~TFichaDatabase() {
  Close();
  MoveToSession(nullptr);
}

void TFichaDatabase::MoveToSession(TFichaSession* session) {
  if (session == session_) return;
  // Databases of other threads' sessions join and leave the default
  // session's list too: its list changes under the session lock.
  TSessionList& sessions = session_ != nullptr ? session_->list_ : session->list_;
  std::lock_guard<std::recursive_mutex> lock(sessions.SessionLock());
  if (session_ != nullptr) {
    auto& list = session_->databases_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  session_ = session;
  if (session_ != nullptr) session_->databases_.push_back(this);
}

void TFichaDatabase::Loaded() {
  TComponent::Loaded();
  if (streamed_connected_) SetConnected(true);
}

void TFichaDatabase::SetConnected(bool connected) {
  if (Loading()) {
    streamed_connected_ = connected;
    return;
  }
  if (connected) {
    Open();
  } else {
    Close();
  }
}

void TFichaDatabase::CheckClosed() const {
  if (Connected()) RaiseDatabaseError(kDatabaseOpen);
}

void TFichaDatabase::SetDatabaseName(const std::string& name) {
  CheckClosed();
  database_name_ = WithBackslashes(name);
}

void TFichaDatabase::SetDirectory(const std::string& directory) {
  CheckClosed();
  directory_ = WithBackslashes(directory);
}

void TFichaDatabase::SetRemoteDatabase(const std::string& name) {
  CheckClosed();
  remote_database_ = WithBackslashes(name);
}

void TFichaDatabase::SetSessionName(const std::string& name) {
  CheckClosed();
  session_name_ = name;
}

void TFichaDatabase::SetKeepConnection(bool on) {
  keep_connection_ = on;
  if (!on && ref_count_ == 0) Close();
}

// A name that is a path (":" or "\") belongs to temporary databases only;
// within a session a name is unique unless every holder has HandleShared. A
// temporary database without users gives way to a component that wants its
// name.
void TFichaDatabase::CheckName() {
  if (!temporary_ && database_name_.find_first_of(":\\") != std::string::npos) {
    RaiseDatabaseError(kInvalidDatabaseName, database_name_);
  }
  std::vector<TFichaDatabase*> same;
  for (TFichaDatabase* db : session_->databases_) {
    if (db != this && SameName(db->DatabaseName(), database_name_)) same.push_back(db);
  }
  for (TFichaDatabase* db : same) {
    if (handle_shared_ && db->HandleShared()) continue;
    if (db->Temporary() && db->RefCount() == 0 && db->DataSets().empty()) {
      delete db;
      continue;
    }
    RaiseDatabaseError(kDuplicateDatabaseName, database_name_);
  }
}

void TFichaDatabase::Open() {
  if (Connected()) return;
  if (BeforeConnect) BeforeConnect(*this);
  if (!temporary_ && database_name_.empty()) RaiseDatabaseError(kDatabaseNameMissing);
  TFichaSession* session = Sessions().OpenSession(session_name_);
  // Held while the database connects: the name check reads the session's
  // list and may free a temporary database of it.
  TFichaSession::Lock lock(*session);
  MoveToSession(session);
  try {
    CheckName();
  } catch (...) {
    database_name_.clear();
    throw;
  }
  // Started even while its own definition is still loading (a database
  // loaded before its session): a connected database needs the engine.
  session->StartSession();

  if (handle_shared_) {
    for (TFichaDatabase* db : session->databases_) {
      if (db != this && db->HandleShared() && db->Engine() != nullptr &&
          SameName(db->DatabaseName(), database_name_)) {
        engine_ = db->Engine();
        shared_ = true;
        return;
      }
    }
  }
  bool is_path = database_name_.find_first_of(":\\") != std::string::npos;
  std::string engine_name = is_path ? std::string() : database_name_;
  // Remote sessions never start (see TFichaSession), so only the local open
  // is reachable here.
  engine_ = session->Engine()->OpenDirectory(engine_name, directory_);
  shared_ = false;
}

void TFichaDatabase::Close() {
  if (!Connected() || closing_) return;
  closing_ = true;
  try {
    std::vector<TDatabaseClient*> datasets = datasets_;
    for (auto it = datasets.rbegin(); it != datasets.rend(); ++it) (*it)->CloseDataSet();
    if (shared_) {
      engine_ = nullptr;
    } else if (session_ != nullptr) {
      TFichaSession::Lock lock(*session_);
      // Databases that borrowed this engine database would be left with a
      // freed one: they close first.
      std::vector<TFichaDatabase*> dbs = session_->databases_;
      for (TFichaDatabase* db : dbs) {
        if (db != this && db->Shared() && db->Engine() == engine_) db->Close();
      }
      if (session_->Engine() != nullptr) session_->Engine()->CloseDirectory(engine_);
      engine_ = nullptr;
    }
  } catch (...) {
    closing_ = false;
    throw;
  }
  engine_ = nullptr;
  shared_ = false;
  ref_count_ = 0;
  closing_ = false;
}

void TFichaDatabase::StartTransaction() {
  if (!Connected()) RaiseDatabaseError(kDatabaseClosed);
  if (engine_->InTransaction()) RaiseDatabaseError(kInTransaction, database_name_);
  engine_->StartTransaction();
}

void TFichaDatabase::Commit(bool force_flush) {
  if (!Connected()) RaiseDatabaseError(kDatabaseClosed);
  if (!engine_->InTransaction()) RaiseDatabaseError(kNotInTransaction, database_name_);
  engine_->Commit(force_flush);
}

void TFichaDatabase::Rollback() {
  if (!Connected()) RaiseDatabaseError(kDatabaseClosed);
  if (!engine_->InTransaction()) RaiseDatabaseError(kNotInTransaction, database_name_);
  engine_->Rollback();
}

void TFichaDatabase::AddDataSet(TDatabaseClient* dataset) {
  if (std::find(datasets_.begin(), datasets_.end(), dataset) == datasets_.end()) {
    datasets_.push_back(dataset);
  }
}

void TFichaDatabase::RemoveDataSet(TDatabaseClient* dataset) {
  datasets_.erase(std::remove(datasets_.begin(), datasets_.end(), dataset), datasets_.end());
}

}  // namespace ficha
