// Locks between programs: every test runs the other program as a forked
// child process with its own session on the same table files.
#include <chrono>
#include <thread>

#include "tests/engine/session/ChildProcess.h"
#include "tests/engine/session/LockTestUtil.h"

namespace ficha::testing {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kReadSlot7 = 0xFFFFFFFFLL - 7;

// The other program: a session, its database and one cursor on FONE.
struct Program {
  explicit Program(const std::string& directory) {
    db = session.OpenDirectory("", directory);
    cursor = OpenCursor(db, "FONE");
  }
  TDataTable& table() { return *cursor->Table(); }

  TDataSession session;
  TDataDirectory* db = nullptr;
  std::unique_ptr<TDataCursor> cursor;
};

class LockingTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    CreateTable("FONE", 3, true);
  }
  void TearDown() override {
    CloseHere();
    SessionTest::TearDown();
  }
  // Forks the other program; nothing of the table may be open here yet.
  std::unique_ptr<ChildProcess> Start(const ChildProcess::Body& body) {
    auto child = std::make_unique<ChildProcess>(body);
    EXPECT_TRUE(child->Started());
    return child;
  }
  void OpenHere() {
    db_ = session_.OpenDirectory("", EngineDir());
    cursor_ = OpenCursor(db_, "FONE");
    table_ = cursor_->Table();
  }
  void CloseHere() {
    cursor_.reset();
    if (db_ != nullptr) session_.CloseDirectory(db_);
    db_ = nullptr;
    table_ = nullptr;
  }

  TDataDirectory* db_ = nullptr;
  std::unique_ptr<TDataCursor> cursor_;
  TDataTable* table_ = nullptr;
};

TEST_F(LockingTest, ReadersShareAndAWriterWaitsThemOutAndExcludesThem) {
  std::string dir = EngineDir();
  auto child = Start([dir](Channel& parent) {
    Program other(dir);
    other.table().ReadLock();
    if (!other.table().ReadLockHeld()) return 1;
    parent.Send('R');
    if (!parent.Expect('g')) return 2;
    std::this_thread::sleep_for(100ms);  // the writer is retrying by now
    parent.Send('U');
    other.table().ReadUnlock();
    if (!parent.Expect('w')) return 3;
    other.table().SetTableLockAttempts(3);
    parent.SendInt(ErrorCodeOf([&] { other.table().ReadLock(); }));
    if (!parent.Expect('x')) return 4;
    parent.SendInt(ErrorCodeOf([&] { other.table().ReadLock(); }));
    other.table().ReadUnlock();
    return 0;
  });
  Channel& other = child->channel();
  ASSERT_TRUE(other.Expect('R'));

  OpenHere();
  table_->SetTableLockAttempts(3);
  table_->ReadLock();
  EXPECT_TRUE(table_->ReadLockHeld());
  table_->ReadUnlock();

  other.Send('g');
  table_->SetTableLockAttempts(10000);
  table_->WriteLock();
  EXPECT_TRUE(table_->WriteLockHeld());
  // The reader had announced its unlock before the write lock was granted.
  EXPECT_EQ(other.Receive(0), 'U');

  other.Send('w');
  EXPECT_EQ(other.ReceiveInt(), FICHA_LOCKTIMEOUT);
  table_->WriteUnlock();
  other.Send('x');
  EXPECT_EQ(other.ReceiveInt(), 0);
  EXPECT_EQ(child->Wait(), 0);
}

TEST_F(LockingTest, RecordLockedElsewhereRefusedAfterTheRetries) {
  std::string dir = EngineDir();
  auto child = Start([dir](Channel& parent) {
    Program other(dir);
    other.table().LockRecord(1);
    parent.Send('L');
    if (!parent.Expect('d')) return 1;
    // The refused program let go of its read lock: a write lock is had at once.
    other.table().SetTableLockAttempts(3);
    int code = ErrorCodeOf([&] { other.table().WriteLock(); });
    other.table().WriteUnlock();
    parent.SendInt(code);
    if (!parent.Expect('q')) return 2;
    return 0;
  });
  Channel& other = child->channel();
  ASSERT_TRUE(other.Expect('L'));

  OpenHere();
  session_.SetLockRetryCount(3);
  session_.SetLockWaitTime(40);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorCodeOf([&] { cursor_->CursorLockRecord(1); }), FICHA_RECLOCKFAILED);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 3 * 40ms);
  EXPECT_FALSE(table_->ReadLockHeld());
  EXPECT_FALSE(table_->LockedRecords().IsMember(1));
  EXPECT_FALSE(table_->CursorHeldRecords().IsMember(1));
  EXPECT_EQ(cursor_->LockedRecord(), 0);

  other.Send('d');
  EXPECT_EQ(other.ReceiveInt(), 0);
  other.Send('q');
  EXPECT_EQ(child->Wait(), 0);
  // The other program has ended, and its lock with it.
  cursor_->CursorLockRecord(1);
  EXPECT_EQ(cursor_->LockedRecord(), 1);
  cursor_->CursorUnlockRecord(0);
  EXPECT_FALSE(table_->LockedRecords().IsMember(1));
}

// A record lock asked for during a navigation (read lock held) lets the read
// lock go while it waits: the program that holds the record can then post
// and give it up, and the read lock is held again afterwards.
TEST_F(LockingTest, RecordLockWaitLetsTheHoldersWriterIn) {
  std::string dir = EngineDir();
  auto child = Start([dir](Channel& parent) {
    Program other(dir);
    other.table().LockRecord(1);
    parent.Send('L');
    if (!parent.Expect('g')) return 1;
    std::this_thread::sleep_for(20ms);  // the other program is waiting by now
    other.table().SetTableLockAttempts(150);
    int code = ErrorCodeOf([&] { other.table().WriteLock(); });
    other.table().WriteUnlock();
    other.table().UnlockRecord(1);
    parent.SendInt(code);
    if (!parent.Expect('q')) return 2;
    return 0;
  });
  Channel& other = child->channel();
  ASSERT_TRUE(other.Expect('L'));

  OpenHere();
  session_.SetLockRetryCount(40);
  session_.SetLockWaitTime(25);
  table_->ReadLock();
  ASSERT_TRUE(table_->ReadLockHeld());
  other.Send('g');
  EXPECT_EQ(ErrorCodeOf([&] { cursor_->CursorLockRecord(1); }), 0);
  EXPECT_EQ(other.ReceiveInt(), 0);
  EXPECT_TRUE(table_->ReadLockHeld());
  EXPECT_TRUE(table_->LockedRecords().IsMember(1));
  cursor_->CursorUnlockRecord(1);
  table_->ReadUnlock();
  other.Send('q');
  EXPECT_EQ(child->Wait(), 0);
}

TEST_F(LockingTest, OtherProgramsChangeNoticedThroughTheChangeCounters) {
  std::string dir = EngineDir();
  auto child = Start([dir](Channel& parent) {
    Program other(dir);
    if (!parent.Expect('1')) return 1;
    WriteRecordId(*other.cursor, 1, 77);
    parent.Send('W');
    if (!parent.Expect('2')) return 2;
    WriteRecordId(*other.cursor, 2, 88);
    parent.Send('W');
    return 0;
  });
  Channel& other = child->channel();
  OpenHere();
  EXPECT_EQ(RecordId(*table_, 1), 10);

  other.Send('1');
  ASSERT_TRUE(other.Expect('W'));
  // Without strict detection the cache serves on, and the check before a
  // navigation only compares counters this process has read.
  EXPECT_EQ(RecordId(*table_, 1), 10);
  EXPECT_FALSE(cursor_->CheckChangesBeforeNavigation());
  EXPECT_EQ(cursor_->RepositionCount(), 0);
  // A record lock reads the headers: the stale records go, the cursor
  // re-positions.
  EXPECT_TRUE(cursor_->CursorLockRecord(1));
  EXPECT_EQ(cursor_->RepositionCount(), 1);
  EXPECT_FALSE(cursor_->SnapshotStale());
  EXPECT_EQ(RecordId(*table_, 1), 77);
  cursor_->CursorUnlockRecord(1);

  // With strict detection the check before a navigation reads the headers
  // under the read lock, which the operation's end releases.
  session_.SetStrictChangeDetection(true);
  EXPECT_EQ(RecordId(*table_, 2), 20);
  other.Send('2');
  ASSERT_TRUE(other.Expect('W'));
  EXPECT_EQ(RecordId(*table_, 2), 20);
  {
    TCursorOperation operation(*cursor_);
    EXPECT_TRUE(cursor_->CheckChangesBeforeNavigation());
    EXPECT_TRUE(table_->ReadLockHeld());
    EXPECT_EQ(RecordId(*table_, 2), 88);
    operation.Finish();
  }
  EXPECT_FALSE(table_->ReadLockHeld());
  EXPECT_EQ(cursor_->RepositionCount(), 2);
  EXPECT_EQ(child->Wait(), 0);
}

TEST_F(LockingTest, TransactionLockSerialisesWriters) {
  std::string dir = EngineDir();
  auto child = Start([dir](Channel& parent) {
    Program other(dir);
    other.db->StartTransaction();
    AppendRecords(other.table(), 1, 40);
    other.cursor->FlushBuffers(false, kFlushIndexHeader);
    parent.Send('T');
    if (!parent.Expect('c')) return 1;
    std::this_thread::sleep_for(100ms);  // the other writer is retrying by now
    parent.Send('C');
    other.db->Commit(true, false);
    if (!parent.Expect('q')) return 2;
    return 0;
  });
  Channel& other = child->channel();
  ASSERT_TRUE(other.Expect('T'));

  OpenHere();
  table_->SetTableLockAttempts(3);
  EXPECT_EQ(ErrorCodeOf([&] { cursor_->CursorWriteLock(); }), FICHA_LOCKTIMEOUT);
  EXPECT_FALSE(table_->WriteLockHeld());
  EXPECT_EQ(ErrorCodeOf([&] { db_->StartTransaction(); }), FICHA_LOCKTIMEOUT);
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_FALSE(table_->TransactionLockHeld());
  // Reading goes on and sees the table as it was before the transaction.
  cursor_->CursorReadLock();
  EXPECT_EQ(table_->DataFile().RecordSlotCount(), 3);
  cursor_->CursorReadUnlock();

  other.Send('c');
  table_->SetTableLockAttempts(10000);
  EXPECT_TRUE(cursor_->CursorWriteLock());
  EXPECT_EQ(other.Receive(0), 'C');
  EXPECT_EQ(table_->DataFile().RecordSlotCount(), 4);
  EXPECT_EQ(RecordId(*table_, 4), 40);
  cursor_->CursorWriteUnlock();
  other.Send('q');
  EXPECT_EQ(child->Wait(), 0);
}

// A table-level lock whose blob-file part is refused after its index-file
// part was taken: nothing of it may stay held.
TEST_F(LockingTest, FailedTableLocksLeaveNothingHeld) {
  struct Case {
    const char* name;
    int kind;  // 0 read lock, 1 statement read lock, 2 write lock
    int64_t blob_offset;
    int64_t blob_length;
  };
  const Case cases[] = {
      {"read lock", 0, kWriteRange, kWriteRangeLength},
      {"statement read lock", 1, kWriteRange, kWriteRangeLength},
      {"write lock", 2, kReadSlot7, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string blob_path = Path("FONE.BLB").string();
    std::string index_path = Path("FONE.IDX").string();
    std::string data_path = Path("FONE.DAT").string();
    auto child = Start([&](Channel& parent) {
      TFileHandler blob;
      blob.SetName(blob_path);
      blob.OpenFile();
      if (!parent.Expect('h')) return 1;
      if (!blob.LockRegion(c.blob_offset, c.blob_length)) return 2;
      parent.Send('H');
      if (!parent.Expect('f')) return 3;
      blob.UnlockRegion(c.blob_offset, c.blob_length);
      // What the failed lock took in the index and data files is free.
      TFileHandler index;
      index.SetName(index_path);
      index.OpenFile();
      TFileHandler data;
      data.SetName(data_path);
      data.OpenFile();
      if (!index.LockRegion(kWriteRange, kWriteRangeLength)) return 4;
      if (!data.LockRegion(kTransactionByte, 1)) return 5;
      return 0;
    });
    Channel& other = child->channel();
    OpenHere();
    table_->SetTableLockAttempts(3);
    other.Send('h');
    ASSERT_TRUE(other.Expect('H'));
    int code = ErrorCodeOf([&] {
      if (c.kind == 0) table_->ReadLock();
      if (c.kind == 1) table_->StatementReadLock();
      if (c.kind == 2) table_->WriteLock();
    });
    EXPECT_EQ(code, FICHA_LOCKTIMEOUT);
    EXPECT_FALSE(table_->ReadLockHeld());
    EXPECT_FALSE(table_->StatementReadLockHeld());
    EXPECT_FALSE(table_->WriteLockHeld());
    other.Send('f');
    EXPECT_EQ(child->Wait(), 0);
    CloseHere();
  }
}

TEST_F(LockingTest, RecordUnlocksInsideATransactionWaitForItsEnd) {
  for (bool commit : {true, false}) {
    SCOPED_TRACE(commit ? "commit" : "rollback");
    std::string dir = EngineDir();
    auto child = Start([dir](Channel& parent) {
      Program other(dir);
      other.session.SetLockRetryCount(0);
      other.session.SetLockWaitTime(1);
      if (!parent.Expect('u')) return 1;
      parent.SendInt(ErrorCodeOf([&] { other.table().LockRecord(1); }));
      if (!parent.Expect('e')) return 2;
      parent.SendInt(ErrorCodeOf([&] { other.table().LockRecord(1); }));
      return 0;
    });
    Channel& other = child->channel();
    OpenHere();
    db_->StartTransaction();
    cursor_->CursorLockRecord(1);
    cursor_->CursorUnlockRecord(1);
    EXPECT_EQ(cursor_->LockedRecord(), 0);
    EXPECT_TRUE(table_->DeferredUnlocks().IsMember(1));
    other.Send('u');
    EXPECT_EQ(other.ReceiveInt(), FICHA_RECLOCKFAILED);
    if (commit) {
      db_->Commit(true, false);
    } else {
      db_->Rollback();
    }
    EXPECT_FALSE(table_->LockedRecords().IsMember(1));
    other.Send('e');
    EXPECT_EQ(other.ReceiveInt(), 0);
    EXPECT_EQ(child->Wait(), 0);
    CloseHere();
  }
}

}  // namespace
}  // namespace ficha::testing
