// TFichaDatabase: a named handle on one directory of tables. It belongs to
// a session (by SessionName, resolved when it connects) and owns one engine
// database while connected. Datasets find it by DatabaseName through their
// session and register with it while open.
//
// Connecting never checks that the directory exists: a missing directory
// shows when a table in it is used. Two databases of one session may share a
// name only when both have HandleShared; the second then borrows the first
// one's engine database. Transactions are the engine database's.
//
// Every failed check raises EDatabaseError before anything changes, except
// that a failed name check at Open clears DatabaseName.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "components/Component.h"
#include "components/EngineLink.h"
#include "components/FichaSession.h"

namespace ficha {

// A dataset as its database sees it (query and table components implement
// it). CloseDataSet closes the dataset; it unregisters itself on the way.
class TDatabaseClient {
 public:
  virtual void CloseDataSet() = 0;

 protected:
  ~TDatabaseClient() = default;
};

class TFichaDatabase : public TComponent, public TSessionNameUser {
 public:
  // Joins the session `owner` when the owner is a session (temporary
  // databases), else the default session until it connects.
  explicit TFichaDatabase(TComponent* owner);
  // Closes the database and leaves its session.
  ~TFichaDatabase() override;

  std::string EngineVersion() const { return "3.30"; }
  void SetEngineVersion(const std::string& /*ignored*/) {}

  // True while the engine database exists.
  bool Connected() const { return engine_ != nullptr; }
  void SetConnected(bool connected);
  void Open();
  void Close();

  // The four setters below require a closed database and store the value
  // with every "/" replaced by "\".
  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(const std::string& name);
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& directory);
  const std::string& RemoteDatabase() const { return remote_database_; }
  void SetRemoteDatabase(const std::string& name);
  const std::string& SessionName() const override { return session_name_; }
  void SetSessionName(const std::string& name) override;

  bool HandleShared() const { return handle_shared_; }
  void SetHandleShared(bool on) { handle_shared_ = on; }
  bool KeepConnection() const { return keep_connection_; }
  // Switching it off on a database without users closes it.
  void SetKeepConnection(bool on);

  std::function<void(TFichaDatabase&)> BeforeConnect;

  // Transactions; all three require a connected database.
  void StartTransaction();
  void Commit(bool force_flush = true);
  void Rollback();
  bool InTransaction() const { return engine_ != nullptr && engine_->InTransaction(); }

  // The session this database belongs to (null only after the default
  // session has gone at process end).
  TFichaSession* Session() const { return session_; }
  // The engine database while connected, else null; owned by the engine
  // session (borrowed from another component when Shared()).
  EngineDatabase* Engine() const { return engine_; }
  bool Temporary() const { return temporary_; }
  bool Shared() const { return shared_; }
  // Number of dataset users (OpenDatabase calls not yet closed).
  int RefCount() const { return ref_count_; }

  // Datasets using the database, in the order they registered.
  const std::vector<TDatabaseClient*>& DataSets() const { return datasets_; }
  void AddDataSet(TDatabaseClient* dataset);
  void RemoveDataSet(TDatabaseClient* dataset);

  void Loaded() override;

 private:
  friend class TFichaSession;

  void MoveToSession(TFichaSession* session);
  void CheckName();
  void CheckClosed() const;

  TFichaSession* session_ = nullptr;
  EngineDatabase* engine_ = nullptr;
  std::vector<TDatabaseClient*> datasets_;
  int ref_count_ = 0;
  bool temporary_ = false;
  bool shared_ = false;
  bool closing_ = false;
  bool streamed_connected_ = false;

  std::string database_name_;
  std::string directory_;
  std::string remote_database_;
  std::string session_name_;
  bool handle_shared_ = false;
  bool keep_connection_ = true;
};

}  // namespace ficha
