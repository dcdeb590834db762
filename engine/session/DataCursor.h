// A cursor on one table of a database: its life (open, close, clone,
// refresh, flush) and the state that life needs.
//
// A cursor refers to its database (it registers at construction) and, while
// open, to the shared table (TDataTable) of its table name; it keeps its own
// snapshot of the table's change counters, its flags, its copy of the field
// and index descriptors and its record and range key buffers.
//
// Not built here, and added by the navigation, locking and modification
// layers on top of this class: positioning and stepping, ranges, filters and
// the record sets (so Open leaves the cursor before the first record only in
// the sense that it has no current record yet, and Clone and Refresh do not
// re-position); the cursor-level locks and the re-positioning after another
// writer's change (CheckChangesBeforeRead takes the table's read lock and
// reports the change; releasing that lock at the end of an operation is the
// navigation layer's); blob buffers; record changes.
//
// Engine errors are raised as EFichaEngineError with the table name and the
// database's directory. Used from one thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data/FieldDef.h"
#include "engine/data/TableOwner.h"
#include "engine/index/IndexHeader.h"

namespace ficha {

class TDataDirectory;
class TDataTable;

class TDataCursor : public TRequestingCursor {
 public:
  static constexpr uint8_t kNoIndex = 255;  // record-number order
  static constexpr size_t kMaxKeyLength = 526;

  // Asked for a password when none of the session's opens the table: add one
  // to the session and return true to try again, or return false to give up.
  using PasswordRequest = std::function<bool(TDataCursor& cursor)>;

  // REQUIRES: database outlives the cursor or closes it when destroyed.
  explicit TDataCursor(TDataDirectory* database);
  ~TDataCursor() override;  // closes; errors of the close are swallowed

  TDataCursor(const TDataCursor&) = delete;
  TDataCursor& operator=(const TDataCursor&) = delete;

  TDataDirectory* Database() const { return database_; }
  // The shared table while open, else nullptr.
  TDataTable* Table() const { return table_; }

  // Setters of the closed cursor; each raises 10031 while it is open.
  // The table name keeps only the file-name part, without ".DAT".
  void SetTableName(std::string_view name);
  void SetExclusive(bool on);
  void SetReadOnly(bool on);
  void SetInMemory(bool on);
  // Flags of the SQL engine's result cursors.
  void SetResultCursor(bool on);
  void SetDiscardOnClose(bool on);
  void SetNaturalOrder(bool on);
  void SetPasswordRequest(PasswordRequest request) { password_request_ = std::move(request); }

  const std::string& TableName() const { return table_name_; }
  bool IsOpen() const { return open_; }
  bool Exclusive() const { return exclusive_; }
  bool ReadOnly() const { return read_only_; }
  bool NoLocking() const { return no_locking_; }
  bool InMemory() const { return in_memory_; }
  bool ResultCursor() const { return result_cursor_; }
  bool DiscardOnClose() const { return discard_on_close_; }
  bool NaturalOrder() const { return natural_order_; }
  uint8_t ActiveIndex() const { return active_index_; }
  const std::string& IndexName() const { return index_name_; }

  // Opens the table (nothing when open). On failure the cursor stays closed
  // and the table is not left half-open.
  void Open();
  // Releases the cursor's buffers and closes the table once; discard_allowed
  // lets a discard-on-close table drop its unwritten buffers at its last close.
  void Close(bool discard_allowed = true);
  // A new open cursor on the same database, table and flags, with the same
  // index. REQUIRES: open. The caller owns the result.
  std::unique_ptr<TDataCursor> Clone();
  // Takes the read lock (which drops buffers another writer made stale),
  // drops the cursor's record copy and takes a fresh snapshot.
  void Refresh();
  // On a shared cursor, or when forced, the table writes its buffers (see
  // TFlushFlags); on an exclusive cursor the flagged headers only count a
  // change, and the buffers are written at close, when forced or when a cache
  // overflows. Then a new snapshot, so that this cursor's own changes are not
  // taken for another writer's.
  void FlushBuffers(bool force, unsigned flags);

  // The change counters (data, index, blob) as this cursor last saw them.
  const std::array<uint32_t, 3>& Snapshot() const { return snapshot_; }
  void TakeSnapshot();
  // The table's counters differ from the snapshot (another cursor wrote).
  bool SnapshotStale() const;

  // Checks of operations that change a table: 10253 when not exclusive,
  // 11013 when read-only.
  void RequireExclusive() const;
  void RequireWritable() const;

  // Raises code (negated or not) with the table name, the database's
  // directory and the field and index names given.
  [[noreturn]] void Raise(int code, std::string_view field = {}, std::string_view index = {}) const;

  // Field and index descriptors loaded at open.
  const std::vector<TFieldDef>& Fields() const { return fields_; }
  const std::vector<TIndexDef>& Indexes() const { return indexes_; }
  uint16_t LanguageId() const { return language_id_; }
  uint16_t SortId() const { return sort_id_; }
  // The cursor's record buffer (record size bytes while open).
  std::vector<uint8_t>& RecordBuffer() { return record_buffer_; }

  // TRequestingCursor: false for exclusive cursors and cursors without
  // locking; otherwise takes the table's read lock (kept until the operation
  // ends) and returns whether another writer changed the table.
  bool CheckChangesBeforeRead() override;

  // Called by a database that is destroyed before the cursor.
  void DetachDatabase() { database_ = nullptr; }

 private:
  void RequireClosed() const;
  // The open steps after the table is open; raise on failure.
  void CheckHeadersAgainstFiles();
  void CheckIndexFileSize();
  void CheckPassword();
  void LoadDescriptors();
  void RebuildIndexFile();
  // Buffers and descriptors back to the closed state.
  void ReleaseBuffers();

  TDataDirectory* database_;
  TDataTable* table_ = nullptr;
  std::string table_name_;
  std::array<uint32_t, 3> snapshot_{};
  bool open_ = false;
  bool exclusive_ = false;
  bool read_only_ = false;
  bool no_locking_ = false;
  bool in_memory_ = false;
  bool result_cursor_ = false;
  bool discard_on_close_ = false;
  bool natural_order_ = false;
  uint8_t active_index_ = 0;
  std::string index_name_;
  PasswordRequest password_request_;
  std::vector<TFieldDef> fields_;
  std::vector<TIndexDef> indexes_;
  uint16_t language_id_ = 0;
  uint16_t sort_id_ = 0;
  std::vector<uint8_t> record_buffer_;
  std::vector<uint8_t> range_start_key_;
  std::vector<uint8_t> range_end_key_;
};

}  // namespace ficha
