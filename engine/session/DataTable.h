// The shared table object: one per table, in-memory kind and database in
// this process.
//
// It owns the table's three files (data, index and, when the table has blob
// fields, blob) with their caches, the table-level lock state and the record
// lock bookkeeping, and it takes part in its database's transaction. Every
// cursor of the database on the table refers to it and keeps only its own
// position, index, range and filters; the open count is the number of those
// cursors.
//
// Locking (DataTableLocks.cpp): the table-level locks (read, statement read,
// write, transaction) between processes, the record locks with their retry
// policy, the per-process bookkeeping (locked, cursor-held and deferred
// records) and the change check against the files' change counters. The
// cursor-level locks (TDataCursor::CursorReadLock and the others) build on
// them.
//
// Owned by its TDataDirectory; used from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/data/TableOwner.h"

namespace ficha {

class TBlobFile;
class TDataDirectory;
class TDataFile;
class TDataSession;
class TIndexFile;
class TRecordsBitmap;

// Flags of TDataTable::FlushBuffers.
enum TFlushFlags : unsigned {
  kFlushDropBuffers = 1,  // trim the caches to their limits afterwards
  kFlushDataHeader = 2,   // write the data file's header even when unchanged
  kFlushForceOs = 4,      // have the operating system flush what was written
  kFlushIndexHeader = 8,  // the index file's header counts as changed
  kFlushBlobHeader = 16,  // the blob file's header counts as changed
};

// Flags of TDataTable::DiscardBuffers.
enum TDiscardFlags : unsigned {
  kDiscardTrim = 1,           // shrink the emptied caches to their limits
  kDiscardRereadHeaders = 2,  // read every file's header again from disk
};

class TDataTable : public TTableOwner {
 public:
  static constexpr int32_t kInitialBitmapSize = 8192;
  // Table-level lock attempts, 3 ms apart (about 98 seconds).
  static constexpr int kTableLockAttempts = 32767;

  // name: the table name without directory and without ".DAT".
  TDataTable(TDataDirectory* database, std::string_view name, bool in_memory, bool exclusive,
             bool discard_on_close);
  // Closes the files (writing an exclusive table's buffers) and releases
  // every lock.
  ~TDataTable() override;

  TDataTable(const TDataTable&) = delete;
  TDataTable& operator=(const TDataTable&) = delete;

  TDataDirectory* Database() const { return database_; }
  TDataSession* Session() const;
  const std::string& Name() const { return name_; }
  int16_t OpenCount() const { return open_count_; }
  bool IsOpen() const { return opened_; }
  bool ReadOnly() const { return read_only_; }
  bool InMemory() const { return in_memory_; }
  bool DiscardOnClose() const { return discard_on_close_; }
  bool IndexesMissing() const { return indexes_missing_; }
  // Takes part in its database's transaction (InTransaction() below is the
  // file classes' view: false while a commit writes the buffers).
  bool TakesPartInTransaction() const { return in_transaction_; }
  bool ChangedInTransaction() const { return changed_in_transaction_; }
  void ClearIndexesMissing() { indexes_missing_ = false; }

  // The request flags of a table that has no cursors and no transaction,
  // before it is opened again (REQUIRES: !IsOpen()).
  void SetRequestFlags(bool in_memory, bool exclusive, bool discard_on_close);

  // directory + name with extension, by the table file-name rule.
  std::string FileName(std::string_view extension) const;

  TDataFile& DataFile() { return *data_file_; }
  TIndexFile& IndexFile() { return *index_file_; }
  TBlobFile& BlobFile() { return *blob_file_; }
  // The blob file is open (the table has blob fields).
  bool HasBlobFile() const;

  // Opens the table for one more cursor; the first open opens the files. A
  // missing index file is created empty and the indexes are marked missing.
  // Raises the file's engine error; the table is then closed again.
  void Open();

  // Closes once; the last close outside a transaction writes an exclusive
  // table's buffers (or drops them for a discard-on-close table when
  // discard_allowed), releases every lock and closes the files.
  void Close(bool discard_allowed);

  // Writes buffered changes (see TFlushFlags). Inside a transaction nothing
  // is written: the flagged headers only count a change.
  void FlushBuffers(unsigned flags);

  // FlushBuffers that writes even inside a transaction: for the commit.
  void WriteBuffersNow(unsigned flags);

  // Writes the pages and header of an index file this process has just
  // recreated and rebuilt, also when the other files make the table
  // read-only: otherwise the next open would find a file without the
  // rebuilt record-status index.
  void WriteRebuiltIndexFile();

  // Empties the caches of the three files without writing (see
  // TDiscardFlags).
  void DiscardBuffers(unsigned flags);

  // Reads the headers from disk; when another writer changed a file, takes
  // the new header and drops the stale cached buffers. Returns whether
  // anything changed. REQUIRES: a table-level lock is held.
  bool CheckForChanges();

  // Transaction steps, called by the database.
  // Joins the transaction: an exclusive table writes its buffers first; a
  // shared one takes the transaction lock (10249 when it cannot) and drops
  // buffers changed by others. Read-only tables do not take part.
  void StartTransaction();
  // Writes every buffered change and header, as outside the transaction.
  void CommitTransaction(bool end_transaction, bool force_flush);
  // After the write: releases the write lock and either leaves the
  // transaction (releasing the transaction lock) or stays in it; performs the
  // deferred record unlocks either way.
  void EndTransaction(bool end_transaction);
  // Leaves the transaction, drops every buffer and re-reads the headers, then
  // releases the transaction lock and the deferred record unlocks.
  void RollbackTransaction();

  // Table-level locks. Locks of the process do not nest: a read or
  // statement read lock call while another table-level lock is held does
  // nothing and returns false; so does every call on an exclusive table or
  // one with the read-only attribute. The calls that can find a change
  // return whether CheckForChanges did. Failure after all attempts raises
  // 10249, and nothing of the failed lock stays held; a failed unlock raises
  // 10242 (10249 for the write and transaction locks).
  //
  // The write range covers the process's own read slots, so WriteLock takes
  // them over: a read lock is released for good (ReadLockHeld() turns
  // false); a statement read lock is suspended and taken again by
  // WriteUnlock, so that the statement keeps its consistent view to its end.
  bool ReadLock();
  void ReadUnlock();
  bool StatementReadLock();
  void StatementReadUnlock();
  bool WriteLock();
  void WriteUnlock();
  void TransactionLock();
  void TransactionUnlock();
  // Attempts of the table-level locks (kTableLockAttempts unless set; for
  // tools and tests that cannot wait 98 seconds for a refusal).
  void SetTableLockAttempts(int attempts) { table_lock_attempts_ = attempts < 1 ? 1 : attempts; }
  bool ReadLockHeld() const { return read_lock_.held; }
  bool StatementReadLockHeld() const { return statement_read_lock_.held; }
  bool WriteLockHeld() const { return write_lock_held_; }
  bool TransactionLockHeld() const { return transaction_lock_held_; }

  // Record locks of the process. LockRecord retries LockRetryCount times
  // LockWaitTime ms apart (10258 in the end, and at once for record 0),
  // taking the read lock around each attempt unless StrictChangeDetection is
  // set (it is released again before returning); it returns whether a read
  // lock on the way found a change. Inside a transaction a record the
  // process already holds is not locked again, and a deferred unlock of it
  // is cancelled (it is held again). UnlockRecord defers the unlock while
  // the transaction lock is held and raises 10242 for a record this process
  // has not locked.
  bool LockRecord(int32_t record);
  void UnlockRecord(int32_t record);
  TRecordsBitmap& LockedRecords() { return *locked_records_; }
  TRecordsBitmap& CursorHeldRecords() { return *cursor_held_records_; }
  TRecordsBitmap& DeferredUnlocks() { return *deferred_unlocks_; }

  // TTableOwner: what the file classes ask of their table.
  const std::string& TableName() const override { return name_; }
  const std::string& Directory() const override;
  bool InTransaction() const override { return in_transaction_ && !committing_; }
  bool Exclusive() const override { return exclusive_; }
  // At least one file carries the read-only attribute: no locks at all.
  bool ReadOnlyAttribute() const override { return read_only_attribute_; }
  void MarkModified() override { modified_ = true; }
  bool ModifiedByThisProcess() const override { return modified_; }
  void SetChangedInTransaction() override { changed_in_transaction_ = true; }
  bool ForceBufferFlush() const override;
  bool StrictChangeDetection() const override;
  TCacheLimits CacheLimits() const override;
  bool HasPrimaryIndex() const override;
  std::string PrivateDirectory() const override;

 private:
  struct ReadSlots {
    bool held = false;
    // Held, but its bytes given up under this process's write lock.
    bool suspended = false;
    uint16_t index_slot = 0;
    uint16_t blob_slot = 0;
  };

  // Opens the three files (step 2 on of the first open).
  void OpenFiles();
  void CloseFiles();
  // Every lock the process still holds, at the last close.
  void ReleaseAllLocks();
  // Takes the slots; false, with nothing left held, when one is refused
  // after all attempts.
  bool TryTakeReadSlots(ReadSlots* slots);
  // TryTakeReadSlots, then CheckForChanges; raises 10249.
  bool TakeReadSlots(ReadSlots* slots);
  // Releases the bytes; returns false when an unlock was refused.
  bool UnlockReadSlots(ReadSlots* slots);
  void ReleaseReadSlots(ReadSlots* slots);
  // Takes a suspended statement read lock again; false (and the lock
  // dropped) when its slots cannot be had.
  bool ResumeStatementReadLock();
  // Grows the record bitmaps to hold record.
  void FitBitmaps(int32_t record);
  // The deferred record unlocks.
  void PerformDeferredUnlocks();
  bool AnyTableLockHeld() const;
  [[noreturn]] void Raise(int code) const;

  TDataDirectory* database_;
  int16_t open_count_ = 0;
  std::string name_;
  bool opened_ = false;
  bool exclusive_;
  bool read_only_ = false;
  bool read_only_attribute_ = false;
  bool in_memory_;
  bool discard_on_close_;
  std::unique_ptr<TDataFile> data_file_;
  std::unique_ptr<TIndexFile> index_file_;
  std::unique_ptr<TBlobFile> blob_file_;
  bool indexes_missing_ = false;
  std::unique_ptr<TRecordsBitmap> locked_records_;
  std::unique_ptr<TRecordsBitmap> cursor_held_records_;
  std::unique_ptr<TRecordsBitmap> deferred_unlocks_;
  ReadSlots read_lock_;
  ReadSlots statement_read_lock_;
  bool write_lock_held_ = false;
  bool transaction_lock_held_ = false;
  bool in_transaction_ = false;
  bool changed_in_transaction_ = false;
  // Set while a commit writes: the buffers count as outside the transaction.
  bool committing_ = false;
  bool modified_ = false;
  int table_lock_attempts_ = kTableLockAttempts;
};

}  // namespace ficha
