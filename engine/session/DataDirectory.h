// A database: one directory of tables (or the in-memory database "Memory")
// with the shared table objects that this process has open in it.
//
// There is one TDataTable per table name and in-memory kind; every cursor of
// the database on that table uses it. The database owns its tables; a table
// object lives from the first OpenTable of its name until its last cursor has
// closed and no transaction holds it.
//
// Transactions belong to the database and cover every table it has open, and
// every table opened while the transaction runs. They do not nest. While one
// runs, changes stay in the tables' buffers, record unlocks are deferred and
// tables whose last cursor closes stay open, until Commit or Rollback.
//
// Owned by its TDataSession; used from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ficha {

class TDataCursor;
class TDataSession;
class TDataTable;

class TDataDirectory {
 public:
  // directory: full path with trailing "\" (empty for the in-memory database
  // without a path). Use count starts at 1.
  TDataDirectory(TDataSession* session, std::string_view database_name, std::string_view directory);
  // Rolls back an active transaction, closes the cursors still registered
  // and destroys the shared tables (closing their files).
  ~TDataDirectory();

  TDataDirectory(const TDataDirectory&) = delete;
  TDataDirectory& operator=(const TDataDirectory&) = delete;

  TDataSession* Session() const { return session_; }
  const std::string& DatabaseName() const { return database_name_; }
  const std::string& Directory() const { return directory_; }
  int UseCount() const { return use_count_; }
  bool InTransaction() const { return in_transaction_; }
  const std::vector<std::unique_ptr<TDataTable>>& Tables() const { return tables_; }

  // Opens the shared table of name (trimmed, without regard to case) and kind
  // for one more cursor, creating the object on first use. Returns 0 and the
  // table in *table, or -11013 when exclusive use conflicts with the cursors
  // that have it open. File errors are raised (EFichaEngineError naming the
  // file); a table created here is then destroyed again.
  int OpenTable(std::string_view name, bool in_memory, bool exclusive, bool discard_on_close,
                TDataTable** table);

  // Closes table once; destroys it when it has no cursors and takes no part
  // in a transaction. -11010 for a table that is not this database's.
  int CloseTable(TDataTable* table, bool discard_allowed = true);

  // The shared table object of name and kind, or nullptr.
  TDataTable* FindTable(std::string_view name, bool in_memory) const;

  // Whether a table of that name and kind is open here or has a data file in
  // the directory.
  bool TableExists(std::string_view name, bool in_memory) const;

  // A table name (with ".DAT") that does not exist in this database: the
  // first five digits of the thread id followed by the lowest free counter.
  std::string MakeTempTableName(bool in_memory) const;

  // The file name of table name with extension (".DAT", ".IDX", ".BLB" or a
  // backup extension): directory + name, a trailing ".DAT" of the name (any
  // case) replaced by the extension, any other extension kept in front of it.
  std::string TableFileName(std::string_view name, std::string_view extension) const;

  // Starts a transaction over every table open here; nothing when one runs.
  // A table that cannot take its transaction lock raises 10249; every table
  // is then rolled back and the database stays outside a transaction.
  void StartTransaction();

  // Writes the buffered changes of every table. With end_transaction the
  // transaction ends; without, it goes on with the transaction locks kept
  // (the changes so far are in the files and the deferred record unlocks are
  // done). force_flush has the operating system flush the written files.
  // A write lock that cannot be had raises 10249 and leaves the transaction
  // as it was. Nothing when no transaction runs.
  void Commit(bool end_transaction, bool force_flush);

  // Drops every change made since the transaction started (or since the last
  // Commit without end) and ends the transaction. Nothing when none runs.
  void Rollback();

  // Used by TDataSession (use counting) and TDataCursor (registration).
  void AddUse() { ++use_count_; }
  // Returns the count after release (never below 0).
  int ReleaseUse();
  void RegisterCursor(TDataCursor* cursor);
  void UnregisterCursor(TDataCursor* cursor);

 private:
  // Destroys table (REQUIRES: in tables_, no cursors, no transaction).
  void DestroyTable(TDataTable* table);
  // After a transaction ends: destroys the tables without cursors.
  void DropUnusedTables();

  TDataSession* session_;
  std::string database_name_;
  std::string directory_;
  std::vector<std::unique_ptr<TDataTable>> tables_;
  int use_count_ = 1;
  bool in_transaction_ = false;
  std::vector<TDataCursor*> cursors_;
};

}  // namespace ficha
