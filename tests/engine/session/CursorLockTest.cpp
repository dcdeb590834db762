// Locks of cursors within one process: cursor-held records, re-positioning
// after another cursor's change, locks released when an operation fails,
// and the statement read lock under a write lock.
#include <stdexcept>

#include "tests/engine/session/LockTestUtil.h"

namespace ficha::testing {
namespace {

// A cursor whose navigation hooks are observable: it reports a fixed
// bookmark and current record, records every re-positioning and can be made
// to fail in it.
class ProbeCursor : public TDataCursor {
 public:
  using TDataCursor::TDataCursor;

  TBookmark PositionBookmark() const override { return {7, 0, 0, 0}; }
  int32_t CurrentRecordNumber() const override { return current; }
  void RepositionOnBookmark(const TBookmark& bookmark) override {
    bookmarks.push_back(bookmark);
    if (fail) throw std::runtime_error("re-positioning failed");
  }

  int32_t current = 0;
  bool fail = false;
  std::vector<TBookmark> bookmarks;
};

class CursorLockTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    CreateTable("FONE", 3);
    db_ = session_.OpenDirectory("", EngineDir());
    probe_ = std::make_unique<ProbeCursor>(db_);
    probe_->SetTableName("FONE");
    probe_->Open();
    table_ = probe_->Table();
    table_->SetTableLockAttempts(3);
    // A retrying lock would take 15 x 2 s: a refusal that must come at once
    // cannot hide behind the retries.
    session_.SetLockRetryCount(15);
    session_.SetLockWaitTime(2000);
  }
  void TearDown() override {
    probe_.reset();
    SessionTest::TearDown();
  }

  TDataDirectory* db_ = nullptr;
  std::unique_ptr<ProbeCursor> probe_;
  TDataTable* table_ = nullptr;
};

TEST_F(CursorLockTest, RecordHeldByOneCursorIsRefusedToTheOthersAtOnce) {
  auto other = OpenCursor(db_, "FONE");
  probe_->CursorLockRecord(2);
  EXPECT_EQ(probe_->LockedRecord(), 2);
  EXPECT_TRUE(table_->CursorHeldRecords().IsMember(2));
  EXPECT_FALSE(CanLock("FONE.DAT", RecordLockOffset(2), 1));

  EXPECT_EQ(ErrorCodeOf([&] { other->CursorLockRecord(2); }), FICHA_RECLOCKFAILED);
  EXPECT_EQ(ErrorCodeOf([&] { probe_->CursorLockRecord(2); }), FICHA_RECLOCKFAILED);
  EXPECT_EQ(other->LockedRecord(), 0);
  // Nor can the other cursor unlock it.
  EXPECT_EQ(ErrorCodeOf([&] { other->CursorUnlockRecord(2); }), FICHA_UNLOCKFAILED);
  EXPECT_TRUE(table_->LockedRecords().IsMember(2));

  probe_->CursorUnlockRecord(0);  // the cursor's locked record
  EXPECT_EQ(probe_->LockedRecord(), 0);
  EXPECT_TRUE(CanLock("FONE.DAT", RecordLockOffset(2), 1));
  other->CursorLockRecord(2);
  EXPECT_EQ(other->LockedRecord(), 2);

  // A cursor that closes lets go of its record for the others.
  other->Close();
  EXPECT_FALSE(table_->CursorHeldRecords().IsMember(2));
  EXPECT_TRUE(CanLock("FONE.DAT", RecordLockOffset(2), 1));
  probe_->CursorLockRecord(2);
  probe_->CursorUnlockRecord(2);
}

TEST_F(CursorLockTest, RecordZeroMeansTheCurrentRecord) {
  // Without a current record there is nothing to lock.
  EXPECT_EQ(ErrorCodeOf([&] { probe_->CursorLockRecord(0); }), FICHA_RECLOCKFAILED);
  probe_->current = 3;
  probe_->CursorLockRecord(0);
  EXPECT_EQ(probe_->LockedRecord(), 3);
  EXPECT_TRUE(table_->LockedRecords().IsMember(3));
  probe_->CursorUnlockRecord(0);
  EXPECT_FALSE(table_->LockedRecords().IsMember(3));
  // Not locked (any more): 10242.
  EXPECT_EQ(ErrorCodeOf([&] { probe_->CursorUnlockRecord(0); }), FICHA_UNLOCKFAILED);
}

TEST_F(CursorLockTest, AnotherCursorsWriteMakesTheCursorReposition) {
  auto writer = OpenCursor(db_, "FONE");
  EXPECT_FALSE(probe_->CheckChangesBeforeNavigation());
  EXPECT_FALSE(probe_->CursorReadLock());
  probe_->CursorReadUnlock();
  EXPECT_EQ(probe_->RepositionCount(), 0);

  WriteRecordId(*writer, 1, 99);
  EXPECT_FALSE(writer->SnapshotStale());
  EXPECT_TRUE(probe_->SnapshotStale());
  EXPECT_TRUE(probe_->CheckChangesBeforeNavigation());
  EXPECT_FALSE(probe_->SnapshotStale());
  EXPECT_FALSE(table_->ReadLockHeld());
  ASSERT_EQ(probe_->bookmarks.size(), 1u);
  EXPECT_EQ(probe_->bookmarks[0], (TBookmark{7, 0, 0, 0}));
  EXPECT_FALSE(probe_->CheckChangesBeforeNavigation());

  // The locks re-position as well.
  using Lock = std::function<bool()>;
  const std::pair<const char*, Lock> locks[] = {
      {"read lock", [&] { return probe_->CursorReadLock(); }},
      {"write lock", [&] { return probe_->CursorWriteLock(); }},
      {"record lock", [&] { return probe_->CursorLockRecord(3); }},
  };
  for (const auto& [name, lock] : locks) {
    SCOPED_TRACE(name);
    WriteRecordId(*writer, 1, 98);
    int64_t before = probe_->RepositionCount();
    EXPECT_TRUE(lock());
    EXPECT_EQ(probe_->RepositionCount(), before + 1);
    table_->ReadUnlock();
    table_->WriteUnlock();
    if (probe_->LockedRecord() != 0) probe_->CursorUnlockRecord(0);
  }
}

// When re-positioning fails, the lock taken on the way is released again.
TEST_F(CursorLockTest, LockOfAFailedOperationIsReleased) {
  auto writer = OpenCursor(db_, "FONE");
  probe_->fail = true;

  WriteRecordId(*writer, 1, 97);
  EXPECT_THROW(probe_->CursorReadLock(), std::runtime_error);
  EXPECT_FALSE(table_->ReadLockHeld());
  EXPECT_TRUE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));

  WriteRecordId(*writer, 1, 96);
  EXPECT_THROW(probe_->CursorWriteLock(), std::runtime_error);
  EXPECT_FALSE(table_->WriteLockHeld());
  EXPECT_TRUE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));
  EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));

  WriteRecordId(*writer, 1, 95);
  EXPECT_THROW(probe_->CursorLockRecord(2), std::runtime_error);
  EXPECT_FALSE(table_->LockedRecords().IsMember(2));
  EXPECT_FALSE(table_->CursorHeldRecords().IsMember(2));
  EXPECT_EQ(probe_->LockedRecord(), 0);
  EXPECT_TRUE(CanLock("FONE.DAT", RecordLockOffset(2), 1));
  EXPECT_FALSE(table_->ReadLockHeld());
}

TEST_F(CursorLockTest, ExclusiveAndNoLockingCursorsTakeNoLocks) {
  CreateTable("FIXA", 2);
  for (const char* file : {"FIXA.DAT", "FIXA.IDX"}) {
    std::filesystem::permissions(Path(file), std::filesystem::perms::owner_read);
  }
  probe_.reset();
  struct Case {
    const char* name;
    const char* table;
    bool exclusive;
  };
  const Case cases[] = {{"exclusive", "FONE", true}, {"read-only files", "FIXA", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cursor = OpenCursor(db_, c.table, c.exclusive);
    session_.SetStrictChangeDetection(true);
    EXPECT_FALSE(cursor->CursorReadLock());
    EXPECT_FALSE(cursor->CursorWriteLock());
    EXPECT_FALSE(cursor->CursorLockRecord(1));
    EXPECT_FALSE(cursor->CheckChangesBeforeNavigation());
    TDataTable* table = cursor->Table();
    EXPECT_FALSE(table->ReadLockHeld());
    EXPECT_FALSE(table->WriteLockHeld());
    EXPECT_FALSE(table->LockedRecords().IsMember(1));
    EXPECT_EQ(cursor->LockedRecord(), 0);
    std::string file = std::string(c.table) + ".DAT";
    if (!c.exclusive) {
      EXPECT_TRUE(CanLock(file, kTransactionByte, 1));
      EXPECT_TRUE(CanLock(file, RecordLockOffset(1), 1));
    }
    cursor->CursorUnlockRecord(1);
    cursor->CursorWriteUnlock();
    cursor->CursorReadUnlock();
    session_.SetStrictChangeDetection(false);
  }
}

// The write range covers the process's own read slots: a statement read
// lock must neither make the write lock wait for itself nor be lost by it.
TEST_F(CursorLockTest, WriteLockUnderAStatementReadLock) {
  table_->StatementReadLock();
  ASSERT_TRUE(table_->StatementReadLockHeld());
  EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
  EXPECT_FALSE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));

  table_->WriteLock();
  EXPECT_TRUE(table_->WriteLockHeld());
  EXPECT_TRUE(table_->StatementReadLockHeld());
  EXPECT_FALSE(CanLock("FONE.DAT", kTransactionByte, 1));

  table_->WriteUnlock();
  EXPECT_FALSE(table_->WriteLockHeld());
  EXPECT_TRUE(table_->StatementReadLockHeld());
  EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
  // The statement's read slot is held again: no writer can come in.
  EXPECT_FALSE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));

  table_->StatementReadUnlock();
  EXPECT_TRUE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));

  // A statement read lock that ends while the write lock holds its place.
  table_->StatementReadLock();
  table_->WriteLock();
  table_->StatementReadUnlock();
  table_->WriteUnlock();
  EXPECT_FALSE(table_->StatementReadLockHeld());
  EXPECT_TRUE(CanLock("FONE.IDX", kWriteRange, kWriteRangeLength));
  EXPECT_TRUE(CanLock("FONE.DAT", kTransactionByte, 1));
}

TEST_F(CursorLockTest, OperationReleasesOnlyTheReadLockItTook) {
  session_.SetStrictChangeDetection(true);
  {
    TCursorOperation operation(*probe_);
    probe_->CheckChangesBeforeNavigation();
    EXPECT_TRUE(table_->ReadLockHeld());
  }
  EXPECT_FALSE(table_->ReadLockHeld());

  table_->ReadLock();
  {
    TCursorOperation operation(*probe_);
    probe_->CheckChangesBeforeNavigation();
    operation.Finish();
  }
  EXPECT_TRUE(table_->ReadLockHeld());
  table_->ReadUnlock();
}

TEST_F(CursorLockTest, RecordLockedAgainInsideATransactionStaysLocked) {
  auto other = OpenCursor(db_, "FONE");
  db_->StartTransaction();
  probe_->CursorLockRecord(1);
  probe_->CursorUnlockRecord(1);
  EXPECT_TRUE(table_->DeferredUnlocks().IsMember(1));
  // The first cursor let go: the second may take it; the process holds it
  // already, and the unlock asked for earlier no longer applies.
  other->CursorLockRecord(1);
  EXPECT_FALSE(table_->DeferredUnlocks().IsMember(1));
  db_->Commit(true, false);
  EXPECT_TRUE(table_->LockedRecords().IsMember(1));
  EXPECT_FALSE(CanLock("FONE.DAT", RecordLockOffset(1), 1));
  other->CursorUnlockRecord(1);
  EXPECT_TRUE(CanLock("FONE.DAT", RecordLockOffset(1), 1));

  // Unlocking a record the process does not hold is refused inside a
  // transaction too.
  db_->StartTransaction();
  EXPECT_EQ(ErrorCodeOf([&] { table_->UnlockRecord(2); }), FICHA_UNLOCKFAILED);
  db_->Rollback();
}

}  // namespace
}  // namespace ficha::testing
