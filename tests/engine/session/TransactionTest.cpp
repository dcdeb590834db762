// Transactions of a database: buffered changes, commit with and without
// ending the transaction, rollback, deferred record unlocks and tables kept
// open by the transaction.
#include <functional>

#include "tests/engine/session/TableFixture.h"

namespace ficha::testing {
namespace {

class TransactionTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    CreateTable("FONE", 2);
    db_ = session_.OpenDirectory("", EngineDir());
    cursor_ = std::make_unique<TDataCursor>(db_);
    cursor_->SetTableName("FONE");
    cursor_->Open();
    table_ = cursor_->Table();
  }
  void TearDown() override {
    cursor_.reset();
    SessionTest::TearDown();
  }
  // One record appended and flushed as a change operation would.
  int32_t Append(int32_t id) {
    int32_t number = AppendRecords(*table_, 1, id)[0];
    cursor_->FlushBuffers(false, kFlushIndexHeader);
    return number;
  }

  TDataDirectory* db_ = nullptr;
  std::unique_ptr<TDataCursor> cursor_;
  TDataTable* table_ = nullptr;
};

TEST_F(TransactionTest, OutsideTransactionChangesReachTheFilesAtOnce) {
  int64_t size = FileSize("FONE.DAT");
  Append(30);
  EXPECT_GT(FileSize("FONE.DAT"), size);
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 30);
}

TEST_F(TransactionTest, ChangesInvisibleUntilCommit) {
  int64_t size = FileSize("FONE.DAT");
  db_->StartTransaction();
  EXPECT_TRUE(db_->InTransaction());
  EXPECT_TRUE(table_->TakesPartInTransaction());
  EXPECT_TRUE(table_->TransactionLockHeld());
  EXPECT_FALSE(CanLock("FONE.DAT", kTransactionByte, 1));

  Append(30);
  Append(40);
  EXPECT_EQ(FileSize("FONE.DAT"), size);
  EXPECT_TRUE(table_->ChangedInTransaction());
  EXPECT_EQ(RecordId(*table_, 4), 40);

  db_->Commit(true, true);
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_FALSE(table_->TakesPartInTransaction());
  EXPECT_FALSE(table_->ChangedInTransaction());
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 30);
  EXPECT_EQ(RecordIdOnDisk("FONE", 4), 40);
  EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
  EXPECT_TRUE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));
}

TEST_F(TransactionTest, RollbackLeavesFilesAndTableAsBefore) {
  int64_t size = FileSize("FONE.DAT");
  int32_t change_count = table_->DataFile().ChangeCount();
  db_->StartTransaction();
  Append(30);
  {
    // Change an existing record too.
    TRecord* record = nullptr;
    ASSERT_TRUE(table_->DataFile().GetRecord(nullptr, 1, 1, &record));
    PutI32(FieldValue(record->Data(), table_->DataFile().FieldDefs()[0]), 99);
    record->MarkDirty();
    table_->DataFile().ReleaseRecord(record);
    cursor_->FlushBuffers(false, 0);
  }
  EXPECT_EQ(RecordId(*table_, 1), 99);
  db_->Rollback();
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(FileSize("FONE.DAT"), size);
  EXPECT_EQ(table_->DataFile().RecordSlotCount(), 2);
  EXPECT_EQ(table_->DataFile().ChangeCount(), change_count);
  EXPECT_EQ(RecordId(*table_, 1), 10);
  EXPECT_EQ(RecordIdOnDisk("FONE", 1), 10);
  EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
}

TEST_F(TransactionTest, ClosedCursorKeepsTableOpenUntilTransactionEnds) {
  struct Case {
    const char* name;
    void (*end)(TDataDirectory*);
  } cases[] = {
      {"commit", [](TDataDirectory* db) { db->Commit(true, false); }},
      {"rollback", [](TDataDirectory* db) { db->Rollback(); }},
  };
  for (const Case& c : cases) {
    cursor_->Open();
    table_ = cursor_->Table();
    db_->StartTransaction();
    Append(30);
    cursor_->Close();
    ASSERT_EQ(db_->FindTable("FONE", false), table_) << c.name;
    EXPECT_TRUE(table_->IsOpen());
    EXPECT_EQ(table_->OpenCount(), 0);
    EXPECT_FALSE(CanLock("FONE.DAT", kTransactionByte, 1));
    c.end(db_);
    EXPECT_EQ(db_->FindTable("FONE", false), nullptr) << c.name;
    EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
  }
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 30);  // committed once, rolled back once
  EXPECT_EQ(RecordIdOnDisk("FONE", 4), 0);
}

TEST_F(TransactionTest, TableOpenedDuringTransactionJoinsIt) {
  CreateTable("OUTRA", 1);
  db_->StartTransaction();
  TDataCursor other(db_);
  other.SetTableName("OUTRA");
  other.Open();
  EXPECT_TRUE(other.Table()->TakesPartInTransaction());
  EXPECT_FALSE(CanLock("OUTRA.DAT", kTransactionByte, 1));
  db_->Rollback();
  EXPECT_TRUE(CanLock("OUTRA.DAT", kTransactionByte, 1));
}

TEST_F(TransactionTest, RecordUnlocksDeferredUntilTransactionEnds) {
  db_->StartTransaction();
  table_->LockRecord(1);
  EXPECT_FALSE(CanLock("FONE.DAT", RecordLockOffset(1), 1));
  table_->UnlockRecord(1);
  EXPECT_TRUE(table_->DeferredUnlocks().IsMember(1));
  EXPECT_FALSE(CanLock("FONE.DAT", RecordLockOffset(1), 1));
  db_->Commit(true, false);
  EXPECT_TRUE(CanLock("FONE.DAT", RecordLockOffset(1), 1));
  EXPECT_FALSE(table_->LockedRecords().IsMember(1));

  // Outside a transaction an unlock is immediate, and a second unlock fails.
  table_->LockRecord(2);
  table_->UnlockRecord(2);
  EXPECT_TRUE(CanLock("FONE.DAT", RecordLockOffset(2), 1));
  try {
    table_->UnlockRecord(2);
    ADD_FAILURE();
  } catch (const EFichaEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), FICHA_UNLOCKFAILED);
  }
}

TEST_F(TransactionTest, CommitWithoutEndingTheTransaction) {
  db_->StartTransaction();
  Append(30);
  table_->LockRecord(3);
  table_->UnlockRecord(3);

  db_->Commit(false, true);
  // The portion is in the files and its record locks are gone ...
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 30);
  EXPECT_TRUE(CanLock("FONE.DAT", RecordLockOffset(3), 1));
  EXPECT_TRUE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));
  // ... but the transaction goes on and other programs still cannot write.
  EXPECT_TRUE(db_->InTransaction());
  EXPECT_TRUE(table_->TakesPartInTransaction());
  EXPECT_FALSE(CanLock("FONE.DAT", kTransactionByte, 1));

  int64_t size = FileSize("FONE.DAT");
  Append(40);
  EXPECT_EQ(FileSize("FONE.DAT"), size);
  db_->Rollback();
  // Only what came after the portion's commit is undone.
  EXPECT_EQ(table_->DataFile().RecordSlotCount(), 3);
  EXPECT_EQ(RecordId(*table_, 3), 30);
  EXPECT_EQ(RecordIdOnDisk("FONE", 4), 0);
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
}

TEST_F(TransactionTest, ExclusiveTableWritesAtCloseOrWhenForced) {
  cursor_.reset();
  TDataCursor exclusive(db_);
  exclusive.SetTableName("FONE");
  exclusive.SetExclusive(true);
  exclusive.Open();
  table_ = exclusive.Table();
  AppendRecords(*table_, 1, 30);
  exclusive.FlushBuffers(false, kFlushIndexHeader);
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 0);
  exclusive.FlushBuffers(true, 0);
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 30);

  AppendRecords(*table_, 1, 40);
  exclusive.FlushBuffers(false, 0);
  EXPECT_EQ(RecordIdOnDisk("FONE", 4), 0);
  exclusive.Close();
  EXPECT_EQ(RecordIdOnDisk("FONE", 4), 40);
}

TEST_F(TransactionTest, ExclusiveTableRollsBackToItsStateAtStart) {
  cursor_.reset();
  TDataCursor exclusive(db_);
  exclusive.SetTableName("FONE");
  exclusive.SetExclusive(true);
  exclusive.Open();
  table_ = exclusive.Table();
  AppendRecords(*table_, 1, 30);
  exclusive.FlushBuffers(false, 0);  // buffered: exclusive tables write late
  db_->StartTransaction();           // ... but before a transaction starts
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 30);
  AppendRecords(*table_, 1, 40);
  exclusive.FlushBuffers(true, 0);
  EXPECT_EQ(RecordIdOnDisk("FONE", 4), 0);
  db_->Rollback();
  EXPECT_EQ(table_->DataFile().RecordSlotCount(), 3);
  exclusive.Close();
  EXPECT_EQ(RecordIdOnDisk("FONE", 4), 0);
}

TEST_F(TransactionTest, DiscardOnCloseDropsUnwrittenBuffers) {
  cursor_.reset();
  TDataCursor result(db_);
  result.SetTableName("FONE");
  result.SetExclusive(true);
  result.SetDiscardOnClose(true);
  result.Open();
  AppendRecords(*result.Table(), 1, 30);
  result.FlushBuffers(false, 0);
  result.Close();
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 0);
}

TEST_F(TransactionTest, DatabaseClosedInTransactionRollsBack) {
  db_->StartTransaction();
  Append(30);
  cursor_.reset();
  session_.CloseDirectory(db_);
  EXPECT_TRUE(session_.Directories().empty());
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 0);
  EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
}

// Another program's lock, held through a handle of its own.
class ForeignLock {
 public:
  ForeignLock(const std::filesystem::path& file, int64_t offset, int64_t length)
      : offset_(offset), length_(length) {
    handle_.SetName(file.string());
    handle_.OpenFile();
    EXPECT_TRUE(handle_.LockRegion(offset, length));
  }
  ~ForeignLock() {
    handle_.UnlockRegion(offset_, length_);
    handle_.CloseFile();
  }

 private:
  TFileHandler handle_;
  int64_t offset_;
  int64_t length_;
};

int ErrorOf(const std::function<void()>& action, std::string* table = nullptr) {
  try {
    action();
  } catch (const EFichaEngineError& e) {
    if (table != nullptr) *table = e.ErrorTableName();
    return e.ErrorCode();
  }
  return 0;
}

TEST_F(TransactionTest, StartFailureRollsBackEveryTable) {
  CreateTable("OUTRA", 1);
  TDataCursor other(db_);
  other.SetTableName("OUTRA");
  other.Open();
  other.Table()->SetTableLockAttempts(2);
  {
    ForeignLock foreign(Path("OUTRA.DAT"), kTransactionByte, 1);
    std::string table;
    EXPECT_EQ(ErrorOf([&] { db_->StartTransaction(); }, &table), FICHA_LOCKTIMEOUT);
    EXPECT_EQ(table, "OUTRA");
    EXPECT_FALSE(db_->InTransaction());
    EXPECT_FALSE(table_->TakesPartInTransaction());
    EXPECT_FALSE(table_->TransactionLockHeld());
    EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
  }
  db_->StartTransaction();
  EXPECT_TRUE(other.Table()->TakesPartInTransaction());
  db_->Rollback();
}

TEST_F(TransactionTest, CommitThatCannotWriteLockKeepsTheTransaction) {
  db_->StartTransaction();
  Append(30);
  table_->SetTableLockAttempts(2);
  {
    // A reader of another program holds a read slot of the index file.
    ForeignLock reader(Path("FONE.IDX"), 0xFFFFFFFFLL - 7, 1);
    EXPECT_EQ(ErrorOf([&] { db_->Commit(true, false); }), FICHA_LOCKTIMEOUT);
    EXPECT_TRUE(db_->InTransaction());
    EXPECT_FALSE(table_->WriteLockHeld());
    EXPECT_EQ(RecordIdOnDisk("FONE", 3), 0);
    EXPECT_FALSE(CanLock("FONE.DAT", kTransactionByte, 1));
  }
  db_->Commit(true, false);
  EXPECT_EQ(RecordIdOnDisk("FONE", 3), 30);
}

TEST_F(TransactionTest, RecordLockRefusals) {
  session_.SetLockRetryCount(1);
  session_.SetLockWaitTime(1);
  {
    ForeignLock editor(Path("FONE.DAT"), RecordLockOffset(1), 1);
    EXPECT_EQ(ErrorOf([&] { table_->LockRecord(1); }), FICHA_RECLOCKFAILED);
    EXPECT_FALSE(table_->LockedRecords().IsMember(1));
    EXPECT_FALSE(table_->ReadLockHeld());
  }
  EXPECT_EQ(ErrorOf([&] { table_->LockRecord(0); }), FICHA_RECLOCKFAILED);
  table_->LockRecord(1);
  EXPECT_TRUE(table_->LockedRecords().IsMember(1));
  EXPECT_FALSE(table_->ReadLockHeld());
  // The last close releases the record locks the process still holds.
  cursor_->Close();
  EXPECT_TRUE(CanLock("FONE.DAT", RecordLockOffset(1), 1));
}

TEST_F(TransactionTest, WriteLockTakesOverTheProcessReadLock) {
  table_->SetTableLockAttempts(2);
  table_->ReadLock();
  ASSERT_TRUE(table_->ReadLockHeld());
  table_->WriteLock();
  EXPECT_TRUE(table_->WriteLockHeld());
  EXPECT_FALSE(table_->ReadLockHeld());
  EXPECT_FALSE(CanLock("FONE.IDX", 0xFFFFFFFFLL - 1, 1));
  table_->WriteUnlock();
  EXPECT_TRUE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));
  EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
}

// A second session stands for another program: its own tables, caches and
// header images on the same files.
TEST_F(TransactionTest, AnotherProgramsChangesSeenAtRefresh) {
  TDataSession other_session;
  TDataDirectory* other_db = other_session.OpenDirectory("", EngineDir());
  TDataCursor other(other_db);
  other.SetTableName("FONE");
  other.Open();
  ASSERT_NE(other.Table(), table_);

  AppendRecords(*other.Table(), 1, 30);
  other.FlushBuffers(false, kFlushIndexHeader);
  EXPECT_EQ(table_->DataFile().RecordSlotCount(), 2);
  EXPECT_FALSE(cursor_->SnapshotStale());
  cursor_->Refresh();
  EXPECT_EQ(table_->DataFile().RecordSlotCount(), 3);
  EXPECT_TRUE(cursor_->SnapshotStale());
  EXPECT_EQ(RecordId(*table_, 3), 30);
  EXPECT_FALSE(table_->ReadLockHeld());

  // While the other program's transaction runs, this one cannot write.
  other_db->StartTransaction();
  table_->SetTableLockAttempts(2);
  EXPECT_EQ(ErrorOf([&] { table_->WriteLock(); }), FICHA_LOCKTIMEOUT);
  EXPECT_TRUE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));
  other_db->Commit(true, false);
  table_->WriteLock();
  EXPECT_TRUE(table_->WriteLockHeld());
  table_->WriteUnlock();
}

TEST_F(TransactionTest, TransactionsDoNotNest) {
  db_->StartTransaction();
  db_->StartTransaction();  // nothing: transactions do not nest
  EXPECT_TRUE(db_->InTransaction());
  db_->Commit(true, false);
  db_->Commit(true, false);  // nothing without a transaction
  db_->Rollback();
  EXPECT_FALSE(db_->InTransaction());
}

}  // namespace
}  // namespace ficha::testing
