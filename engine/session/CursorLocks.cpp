// The locks of a cursor and the change check that opens every navigation.
//
// The table's locks are shared by all cursors of the process; what a cursor
// adds is the re-positioning after a change it did not make, and the rule
// that within one process a record is locked by one cursor at a time (the
// table's cursor-held set), which the operating system cannot tell apart.
#include <algorithm>

#include "common/Fichacn.h"
#include "engine/session/DataCursor.h"
#include "engine/session/DataTable.h"
#include "lib/bitmap/RecordsBitmap.h"

namespace ficha {

bool TDataCursor::TakesLocks() const {
  return open_ && table_ != nullptr && !exclusive_ && !no_locking_;
}

void TDataCursor::Reposition(const TBookmark& bookmark) {
  TakeSnapshot();
  ++reposition_count_;
  RepositionOnBookmark(bookmark);
}

bool TDataCursor::CursorReadLock() {
  if (!TakesLocks()) return false;
  TBookmark bookmark = PositionBookmark();
  bool held_before = table_->ReadLockHeld();
  bool changed = table_->ReadLock();
  if (!changed && !SnapshotStale()) return false;
  try {
    Reposition(bookmark);
  } catch (...) {
    if (!held_before && table_->ReadLockHeld()) {
      try {
        table_->ReadUnlock();
      } catch (...) {
      }
    }
    throw;
  }
  return true;
}

void TDataCursor::CursorReadUnlock() {
  if (!TakesLocks()) return;
  table_->ReadUnlock();
}

bool TDataCursor::CursorWriteLock() {
  if (!TakesLocks()) return false;
  TBookmark bookmark = PositionBookmark();
  bool held_before = table_->WriteLockHeld();
  bool changed = table_->WriteLock();
  if (!changed && !SnapshotStale()) return false;
  try {
    Reposition(bookmark);
  } catch (...) {
    if (!held_before && table_->WriteLockHeld()) {
      try {
        table_->WriteUnlock();
      } catch (...) {
      }
    }
    throw;
  }
  return true;
}

void TDataCursor::CursorWriteUnlock() {
  if (!TakesLocks()) return;
  table_->WriteUnlock();
}

bool TDataCursor::CursorLockRecord(int32_t record) {
  if (!TakesLocks()) return false;
  TBookmark bookmark = PositionBookmark();
  if (record == 0) record = CurrentRecordNumber();
  // Another cursor of the process (or this one) holds it: the operating
  // system would grant this process its own lock, so refuse at once.
  if (table_->CursorHeldRecords().IsMember(record)) Raise(FICHA_RECLOCKFAILED);
  bool changed = table_->LockRecord(record);
  int32_t previous = locked_record_;
  table_->CursorHeldRecords().Include(record);
  held_records_.push_back(record);
  locked_record_ = record;
  if (!changed && !SnapshotStale()) return false;
  try {
    Reposition(bookmark);
  } catch (...) {
    table_->CursorHeldRecords().Exclude(record);
    held_records_.pop_back();
    locked_record_ = previous;
    try {
      table_->UnlockRecord(record);
    } catch (...) {
    }
    throw;
  }
  return true;
}

void TDataCursor::CursorUnlockRecord(int32_t record) {
  if (!TakesLocks()) return;
  if (record == 0) record = locked_record_ != 0 ? locked_record_ : CurrentRecordNumber();
  auto mine = std::find(held_records_.begin(), held_records_.end(), record);
  if (mine == held_records_.end()) {
    // Another cursor's record stays that cursor's.
    if (table_->CursorHeldRecords().IsMember(record)) Raise(FICHA_UNLOCKFAILED);
  } else {
    held_records_.erase(mine);
    table_->CursorHeldRecords().Exclude(record);
  }
  if (locked_record_ == record) locked_record_ = 0;
  table_->UnlockRecord(record);
}

void TDataCursor::ReleaseRecordLocks() {
  // A cursor that goes away while editing must not leave its records locked
  // for the other cursors of the process until the table closes.
  if (table_ != nullptr && !held_records_.empty()) {
    for (int32_t record : held_records_) {
      table_->CursorHeldRecords().Exclude(record);
      if (exclusive_ || no_locking_) continue;
      try {
        table_->UnlockRecord(record);
      } catch (...) {
        // The table's last close releases whatever stays locked.
      }
    }
  }
  held_records_.clear();
  locked_record_ = 0;
}

bool TDataCursor::CheckChangesBeforeNavigation() {
  if (!TakesLocks()) return false;
  if (table_->StrictChangeDetection()) return CursorReadLock();
  // Without strict detection another program's change shows when a disk
  // read takes the read lock; here only another cursor's writes count.
  if (!SnapshotStale()) return false;
  Reposition(PositionBookmark());
  return true;
}

TCursorOperation::TCursorOperation(TDataCursor& cursor)
    : cursor_(cursor), held_before_(cursor.Table() != nullptr && cursor.Table()->ReadLockHeld()) {}

TCursorOperation::~TCursorOperation() {
  if (finished_) return;
  try {
    Finish();
  } catch (...) {
    // Failure path: the operation's own error is the one that travels.
  }
}

void TCursorOperation::Finish() {
  finished_ = true;
  TDataTable* table = cursor_.Table();
  if (held_before_ || table == nullptr || !table->ReadLockHeld()) return;
  table->ReadUnlock();
}

}  // namespace ficha
