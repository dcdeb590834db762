// The table-level and record locks of a shared table.
//
// Lock regions, all far beyond the end of the data (table files never grow
// past 4,000,000,000 bytes); offsets are 64-bit, only the low 32 bits used:
//
//   data file   4294967295 (0xFFFFFFFF), 1 byte   transaction byte: held by
//                                                 the transaction lock and
//                                                 by the data part of the
//                                                 write lock
//   data file   4294967294 - r, 1 byte            record lock of record r
//   index/blob  4294901759 (0xFFFEFFFF), 65536    whole-file write range
//   index/blob  4294967295 - s, 1 byte            read slot s (1..65535),
//                                                 inside the write range
//
// Readers of different processes hold single random bytes of the write range
// and so coexist; a writer holds the whole range and the transaction byte.
// Every lock is tried without waiting; the waits are the retry loops here.
#include <chrono>
#include <random>
#include <thread>

#include "common/Fichacn.h"
#include "engine/blob/BlobFile.h"
#include "engine/data/DataFile.h"
#include "engine/index/IndexFile.h"
#include "engine/session/DataSession.h"
#include "engine/session/DataTable.h"
#include "lib/bitmap/RecordsBitmap.h"

namespace ficha {

namespace {

constexpr int64_t kTransactionByte = 0xFFFFFFFFLL;
constexpr int64_t kWriteRangeStart = 0xFFFEFFFFLL;
constexpr int64_t kWriteRangeLength = 65536;
constexpr int64_t kReadSlotBase = 0xFFFFFFFFLL;    // slot s is at base - s
constexpr int64_t kRecordLockBase = 0xFFFFFFFELL;  // record r is at base - r
constexpr auto kTableLockPause = std::chrono::milliseconds(3);

uint16_t RandomSlot() {
  static std::minstd_rand generator(
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  auto slot = static_cast<uint16_t>(generator() % 65536);
  return slot == 0 ? 1 : slot;
}

// Tries a fixed range with the table-level retry rule.
bool LockWithRetries(TFileHandler& file, int64_t offset, int64_t length, int attempts) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kTableLockPause);
    if (file.LockRegion(offset, length)) return true;
  }
  return false;
}

// Tries random read slots with the table-level retry rule; the slot taken
// goes to *slot.
bool LockSlotWithRetries(TFileHandler& file, uint16_t* slot, int attempts) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kTableLockPause);
    uint16_t candidate = RandomSlot();
    if (file.LockRegion(kReadSlotBase - candidate, 1)) {
      *slot = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

bool TDataTable::AnyTableLockHeld() const {
  return read_lock_.held || statement_read_lock_.held || write_lock_held_ || transaction_lock_held_;
}

bool TDataTable::TryTakeReadSlots(ReadSlots* slots) {
  ReadSlots taken;
  if (!LockSlotWithRetries(*index_file_, &taken.index_slot, table_lock_attempts_)) return false;
  if (blob_file_->IsOpen() &&
      !LockSlotWithRetries(*blob_file_, &taken.blob_slot, table_lock_attempts_)) {
    // A slot left behind would block every writer, this process included.
    index_file_->UnlockRegion(kReadSlotBase - taken.index_slot, 1);
    return false;
  }
  taken.held = true;
  *slots = taken;
  return true;
}

bool TDataTable::TakeReadSlots(ReadSlots* slots) {
  if (!TryTakeReadSlots(slots)) Raise(FICHA_LOCKTIMEOUT);
  try {
    return CheckForChanges();
  } catch (...) {
    UnlockReadSlots(slots);
    *slots = ReadSlots();
    throw;
  }
}

bool TDataTable::UnlockReadSlots(ReadSlots* slots) {
  if (!slots->held || slots->suspended) return true;
  bool ok = true;
  if (slots->blob_slot != 0 && blob_file_->IsOpen()) {
    ok = blob_file_->UnlockRegion(kReadSlotBase - slots->blob_slot, 1);
  }
  if (slots->index_slot != 0) {
    ok = index_file_->UnlockRegion(kReadSlotBase - slots->index_slot, 1) && ok;
  }
  return ok;
}

void TDataTable::ReleaseReadSlots(ReadSlots* slots) {
  if (!slots->held) return;
  bool ok = UnlockReadSlots(slots);
  *slots = ReadSlots();
  if (!ok) Raise(FICHA_UNLOCKFAILED);
}

bool TDataTable::ReadLock() {
  if (!opened_ || AnyTableLockHeld() || exclusive_ || read_only_attribute_) return false;
  return TakeReadSlots(&read_lock_);
}

void TDataTable::ReadUnlock() { ReleaseReadSlots(&read_lock_); }

bool TDataTable::StatementReadLock() {
  if (!opened_ || AnyTableLockHeld() || exclusive_ || read_only_attribute_) return false;
  return TakeReadSlots(&statement_read_lock_);
}

void TDataTable::StatementReadUnlock() { ReleaseReadSlots(&statement_read_lock_); }

bool TDataTable::ResumeStatementReadLock() {
  ReadSlots& slots = statement_read_lock_;
  if (!slots.held || !slots.suspended) return true;
  // Called while the transaction byte is still held: no other writer can
  // have come in, so the statement's view is still the table's state.
  if (TryTakeReadSlots(&slots)) return true;
  slots = ReadSlots();
  return false;
}

bool TDataTable::WriteLock() {
  if (!opened_ || write_lock_held_ || exclusive_ || read_only_attribute_) return false;
  bool took_transaction_byte = false;
  if (!transaction_lock_held_) {
    if (!LockWithRetries(*data_file_, kTransactionByte, 1, table_lock_attempts_))
      Raise(FICHA_LOCKTIMEOUT);
    took_transaction_byte = true;
  }
  // The write range covers this process's own read slots: held on, they
  // would make the write lock wait for itself until it gives up. The
  // transaction byte keeps other writers out from here on.
  UnlockReadSlots(&read_lock_);
  read_lock_ = ReadSlots();
  if (statement_read_lock_.held && !statement_read_lock_.suspended) {
    UnlockReadSlots(&statement_read_lock_);
    statement_read_lock_.suspended = true;
    statement_read_lock_.index_slot = 0;
    statement_read_lock_.blob_slot = 0;
  }
  bool index_taken =
      LockWithRetries(*index_file_, kWriteRangeStart, kWriteRangeLength, table_lock_attempts_);
  bool blob_taken = index_taken && (!blob_file_->IsOpen() ||
                                    LockWithRetries(*blob_file_, kWriteRangeStart,
                                                    kWriteRangeLength, table_lock_attempts_));
  if (!blob_taken) {
    // Nothing of a failed write lock may stay held.
    if (index_taken) index_file_->UnlockRegion(kWriteRangeStart, kWriteRangeLength);
    ResumeStatementReadLock();
    if (took_transaction_byte) data_file_->UnlockRegion(kTransactionByte, 1);
    Raise(FICHA_LOCKTIMEOUT);
  }
  write_lock_held_ = true;
  if (transaction_lock_held_) return false;
  try {
    return CheckForChanges();
  } catch (...) {
    try {
      WriteUnlock();
    } catch (...) {
    }
    throw;
  }
}

void TDataTable::WriteUnlock() {
  if (!write_lock_held_) return;
  bool ok = true;
  if (blob_file_->IsOpen()) ok = blob_file_->UnlockRegion(kWriteRangeStart, kWriteRangeLength);
  ok = index_file_->UnlockRegion(kWriteRangeStart, kWriteRangeLength) && ok;
  write_lock_held_ = false;
  ok = ResumeStatementReadLock() && ok;
  if (!transaction_lock_held_) ok = data_file_->UnlockRegion(kTransactionByte, 1) && ok;
  if (!ok) Raise(FICHA_LOCKTIMEOUT);
}

void TDataTable::TransactionLock() {
  if (transaction_lock_held_ || read_only_attribute_) return;
  // A write lock already holds the transaction byte.
  bool took_transaction_byte = false;
  if (!exclusive_ && !write_lock_held_) {
    if (!LockWithRetries(*data_file_, kTransactionByte, 1, table_lock_attempts_))
      Raise(FICHA_LOCKTIMEOUT);
    took_transaction_byte = true;
  }
  transaction_lock_held_ = true;
  if (exclusive_) return;
  try {
    CheckForChanges();
  } catch (...) {
    transaction_lock_held_ = false;
    if (took_transaction_byte) data_file_->UnlockRegion(kTransactionByte, 1);
    throw;
  }
}

void TDataTable::TransactionUnlock() {
  if (!transaction_lock_held_) return;
  bool ok = true;
  // With the write lock still held the byte stays its.
  if (!exclusive_ && !write_lock_held_) ok = data_file_->UnlockRegion(kTransactionByte, 1);
  transaction_lock_held_ = false;
  PerformDeferredUnlocks();
  if (!ok) Raise(FICHA_LOCKTIMEOUT);
}

void TDataTable::FitBitmaps(int32_t record) {
  if (record <= locked_records_->Size()) return;
  int32_t size = std::max(record, data_file_->RecordSlotCount() + 1);
  locked_records_->SetSize(size);
  cursor_held_records_->SetSize(size);
  deferred_unlocks_->SetSize(size);
}

bool TDataTable::LockRecord(int32_t record) {
  if (exclusive_ || read_only_attribute_) return false;
  if (record <= 0) Raise(FICHA_RECLOCKFAILED);
  FitBitmaps(record);
  if (transaction_lock_held_ && locked_records_->IsMember(record)) {
    // Held again before the transaction ended: the unlock asked for earlier
    // no longer applies, the new holder unlocks it.
    deferred_unlocks_->Exclude(record);
    return false;
  }
  TDataSession* session = Session();
  bool use_read_lock = !session->StrictChangeDetection();
  bool changed = false;
  // The caller's own read lock (a navigation in progress) is let go during
  // the waits too: the holder of the record needs the write lock to post and
  // give the record up, and a read slot kept here would keep it out.
  const bool held_before = read_lock_.held;
  auto take_read_lock = [&]() {
    if (use_read_lock || held_before) changed = ReadLock() || changed;
  };
  take_read_lock();
  int failures = 0;
  while (!data_file_->LockRegion(kRecordLockBase - record, 1)) {
    ReadUnlock();
    if (++failures > session->LockRetryCount()) Raise(FICHA_RECLOCKFAILED);
    std::this_thread::sleep_for(std::chrono::milliseconds(session->LockWaitTime()));
    take_read_lock();
  }
  if (!held_before) ReadUnlock();
  locked_records_->Include(record);
  return changed;
}

void TDataTable::UnlockRecord(int32_t record) {
  if (exclusive_ || read_only_attribute_) return;
  // A record this process does not hold is refused also inside a
  // transaction, rather than being accepted and dropped at its end.
  if (record <= 0) Raise(FICHA_UNLOCKFAILED);
  FitBitmaps(record);
  if (!locked_records_->IsMember(record)) Raise(FICHA_UNLOCKFAILED);
  if (transaction_lock_held_) {
    deferred_unlocks_->Include(record);
    return;
  }
  if (!data_file_->UnlockRegion(kRecordLockBase - record, 1)) Raise(FICHA_UNLOCKFAILED);
  locked_records_->Exclude(record);
}

void TDataTable::PerformDeferredUnlocks() {
  int32_t position = 0;
  int32_t counter = 0;
  bool ok = true;
  while (deferred_unlocks_->NextMembers(&position, 1, &counter)) {
    if (locked_records_->IsMember(position)) {
      ok = data_file_->UnlockRegion(kRecordLockBase - position, 1) && ok;
      locked_records_->Exclude(position);
    }
  }
  deferred_unlocks_->ClearAll();
  if (!ok) Raise(FICHA_UNLOCKFAILED);
}

void TDataTable::ReleaseAllLocks() {
  // The files close right after this; the operating system drops whatever a
  // failed unlock leaves, so failures are not reported here.
  int32_t position = 0;
  int32_t counter = 0;
  if (!exclusive_ && !read_only_attribute_) {
    while (locked_records_->NextMembers(&position, 1, &counter)) {
      data_file_->UnlockRegion(kRecordLockBase - position, 1);
    }
  }
  locked_records_->ClearAll();
  cursor_held_records_->ClearAll();
  deferred_unlocks_->ClearAll();
  try {
    ReadUnlock();
  } catch (...) {
  }
  try {
    StatementReadUnlock();
  } catch (...) {
  }
  try {
    WriteUnlock();
  } catch (...) {
  }
  if (transaction_lock_held_ && !exclusive_) data_file_->UnlockRegion(kTransactionByte, 1);
  transaction_lock_held_ = false;
}

}  // namespace ficha
