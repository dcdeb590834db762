// A cursor on one table of a database: its life (open, close, clone,
// refresh, flush) and the state that life needs.
//
// A cursor refers to its database (it registers at construction) and, while
// open, to the shared table (TDataTable) of its table name; it keeps its own
// snapshot of the table's change counters, its flags, its copy of the field
// and index descriptors and its record and range key buffers.
//
// Locks (CursorLocks.cpp): the cursor-level read, write and record locks
// and the change check that opens every navigation, all doing nothing on an
// exclusive cursor or one without locking. When a lock or the check finds
// that the table changed (another program, or another cursor of this
// process, wrote), the cursor re-positions: it remembers its bookmark before
// the lock, takes a new snapshot and calls RepositionOnBookmark.
//
// Blobs (CursorBlobs.cpp): blob fields opened on a record buffer, read and
// written at any offset, truncated, and handed to record posting
// (WriteOpenBlobs, RestoreBlobReferences, ReleaseOpenBlobs, ClearBlobs) or
// dropped.
//
// Not built here, and added by the navigation and modification layers:
// positioning and stepping, ranges, filters and the record sets (so Open
// leaves the cursor before the first record only in the sense that it has
// no current record yet, and Clone and Refresh do not re-position); the
// three navigation hooks below (bookmark, current record, re-positioning),
// which are empty until navigation fills them in; record changes, which
// call the blob hand-over operations when they post a record.
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
class TOpenBlobList;
struct TOpenBlob;

// A position of a cursor that survives changes to the table: the record
// number in record-number order, the index entry in index order. Empty for
// a cursor without a position.
using TBookmark = std::vector<uint8_t>;

// How a blob is opened (OpenBlob).
enum class TBlobOpenMode : uint8_t { kRead = 0, kWrite = 1, kReadWrite = 2 };

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
  // Takes the read lock (which drops buffers another writer made stale) and
  // drops the cursor's record copy. The snapshot is kept, so that a change
  // found shows as SnapshotStale() to the re-positioning of the navigation
  // layer.
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

  // ---- Locks of the cursor (CursorLocks.cpp) ----
  //
  // Each does nothing (and returns false) on an exclusive cursor or one
  // without locking. REQUIRES: open. Errors are the table's (10249, 10258,
  // 10242); a failing call leaves no lock of its own behind.

  // The table's read lock; re-positions when it found a change or another
  // cursor wrote. Returns whether the cursor re-positioned.
  bool CursorReadLock();
  void CursorReadUnlock();
  // The table's write lock, re-positioning as CursorReadLock does. Returns
  // whether the cursor re-positioned.
  bool CursorWriteLock();
  void CursorWriteUnlock();
  // Locks record (0 = the current record) for this cursor: 10258 at once
  // when any cursor of the process holds it already, else the table's
  // record lock with its retries. Re-positions when the lock found a change
  // or another cursor wrote; returns whether it did.
  bool CursorLockRecord(int32_t record);
  // Unlocks record (0 = the cursor's locked record, or the current record
  // when it has none). 10242 for a record another cursor of the process
  // holds, or one the process has not locked. Inside a transaction the
  // table defers the unlock to its end.
  void CursorUnlockRecord(int32_t record);
  // The change check that opens every navigation: with StrictChangeDetection
  // CursorReadLock (the read lock stays held; TCursorOperation releases it
  // at the end of the operation); otherwise a comparison of the snapshot
  // with the table's counters, re-positioning when they differ. Returns
  // whether the cursor re-positioned.
  bool CheckChangesBeforeNavigation();
  // The record this cursor locked last (0 = none).
  int32_t LockedRecord() const { return locked_record_; }
  // How often the cursor re-positioned after a change.
  int64_t RepositionCount() const { return reposition_count_; }

  // ---- Blobs (CursorBlobs.cpp) ----
  //
  // field: the blob field's number (1-based); record: the record buffer the
  // blob belongs to (record size bytes). While a blob is open, the first four
  // value bytes of its field hold a negative number naming the open buffer,
  // and the field's null byte says whether the buffer is empty. Each returns
  // 0 or a negated engine error code instead of raising: -10753 not a blob
  // field, -10030 blob not open in this cursor, -9494 128 blobs open
  // already, -9998 the field names an open blob this cursor does not hold
  // (and for a negative offset), -8711 a read past the end, -10029 a
  // negative or too large length, or the error of loading the blob (-8708
  // when another program rewrote it since the record was read).
  static constexpr int kMaxOpenBlobs = 128;
  int OpenBlob(int field, uint8_t* record, TBlobOpenMode mode, bool temporary, int64_t* length);
  int FreeBlob(int field, uint8_t* record);
  // Copies up to count bytes from offset; *copied is what was copied (-8711
  // when offset + count passes the end).
  int GetBlob(int field, const uint8_t* record, int64_t offset, int64_t count, uint8_t* dest,
              int64_t* copied);
  int PutBlob(int field, uint8_t* record, int64_t offset, int64_t count, const uint8_t* source);
  int TruncateBlob(int field, uint8_t* record, int64_t length);
  int GetBlobSize(int field, const uint8_t* record, int64_t* length);
  int OpenBlobCount() const;
  // The open blob that field of record names (its buffer, stored reference,
  // text-index flag), or null. For record posting, which indexes the words
  // of a text-indexed blob again.
  const TOpenBlob* OpenBlobOf(int field, const uint8_t* record) const;

  // Hand-over to record posting (the modification layer calls these when it
  // inserts, changes or deletes a record; they raise on failure).
  // Gives every changed buffer a new blob revision (also stored in record's
  // field) and writes it to the blob file, an empty one by deleting its blob;
  // 8963 when the changed buffers belong to different records. Returns
  // whether anything was written. REQUIRES: the table's write lock.
  bool WriteOpenBlobs(uint8_t* record);
  // Puts the stored references back into the blob fields of record that
  // name open buffers of this cursor.
  void RestoreBlobReferences(uint8_t* record);
  // Destroys the temporary buffers.
  void ReleaseOpenBlobs();
  // Opens every blob field of record read-write and temporary and empties
  // it (for a delete; the posting steps then delete the blobs).
  void ClearBlobs(uint8_t* record);

 protected:
  // ---- Navigation hooks ----
  // Filled in by the navigation layer; until then a cursor has no position:
  // no bookmark, no current record, and re-positioning has nothing to move.
  // The bookmark of the current position, taken before a lock is asked for.
  virtual TBookmark PositionBookmark() const { return {}; }
  // The current record's number, 0 when there is none.
  virtual int32_t CurrentRecordNumber() const { return 0; }
  // After a change: rebuild the range bounds and the record sets and go to
  // the bookmark (nearest). The snapshot is already new.
  virtual void RepositionOnBookmark(const TBookmark& /*bookmark*/) {}

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
  // Locks apply: open, shared and with locking.
  bool TakesLocks() const;
  // New snapshot, count, then the navigation hook.
  void Reposition(const TBookmark& bookmark);
  // At close: the record locks this cursor still holds.
  void ReleaseRecordLocks();
  // The blob field's definition, or null when field is not a blob field.
  const TFieldDef* BlobField(int field) const;

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
  int32_t locked_record_ = 0;
  // Records this cursor holds in the table's cursor-held set.
  std::vector<int32_t> held_records_;
  int64_t reposition_count_ = 0;
  std::unique_ptr<TOpenBlobList> blobs_;
};

// One cursor operation's hold on the table's read lock: the lock that the
// operation's change check or disk reads took is released when the
// operation ends, on failure too (by the destructor, which cannot report a
// failed unlock; Finish reports it). A read lock that was held already when
// the operation began is left alone.
class TCursorOperation {
 public:
  explicit TCursorOperation(TDataCursor& cursor);
  ~TCursorOperation();

  TCursorOperation(const TCursorOperation&) = delete;
  TCursorOperation& operator=(const TCursorOperation&) = delete;

  // Releases the read lock now; raises 10242 when the unlock is refused.
  void Finish();

 private:
  TDataCursor& cursor_;
  bool held_before_;
  bool finished_ = false;
};

}  // namespace ficha
