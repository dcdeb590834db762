// The record cache: read-ahead, limits, eviction, pins, runs of dirty
// records and the pool of spare records.
#include <gtest/gtest.h>

#include <vector>

#include "DataTestSupport.h"
#include "engine/data/DataFile.h"
#include "engine/data/RecordLayout.h"
#include "engine/data/RecordStack.h"

namespace ficha {
namespace {

using testing::ReadDiskFile;

class CacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_.SetTableName("T");
    path_ = scratch_.File("T.DAT");
    testing::CreateTable(path_, owner_, testing::AutoIncAndTwoIntegers());
    TDataFile file(&owner_);
    file.SetName(path_);
    file.OpenFile();
    for (int i = 0; i < 1000; ++i) {
      TRecord* rec = file.AllocateRecord();
      SetRecordRowId(rec->Data(), file.TakeRowIdentifier());
      PutI32(rec->Data() + 10, i + 1);
      file.ReleaseRecord(rec);
    }
    file.WriteBack(false, false);
  }

  std::unique_ptr<TDataFile> Open() {
    auto file = std::make_unique<TDataFile>(&owner_);
    file->SetName(path_);
    file->OpenFile();
    return file;
  }

  void Touch(TDataFile& file, int32_t n, int read_ahead = 1) {
    TRecord* rec = nullptr;
    ASSERT_TRUE(file.GetRecord(nullptr, n, read_ahead, &rec));
    ASSERT_EQ(GetI32(rec->Data() + 10), n);
    ASSERT_EQ(GetI32(rec->Data() + 1), n);
    file.ReleaseRecord(rec);
  }

  testing::ScratchDir scratch_;
  TPlainTableOwner owner_;
  std::string path_;
};

TEST_F(CacheTest, SizesFollowTheRecordSize) {
  auto file = Open();
  EXPECT_EQ(file->RecordsPerRead(), 8192 / 19);
  EXPECT_EQ(file->CacheLimit(), 16384u / 19u);
  owner_.limits.data_count = 100;
  EXPECT_EQ(file->CacheLimit(), 100u);
}

TEST_F(CacheTest, ReadAheadFillsOneBlockPerDiskRead) {
  auto file = Open();
  Touch(*file, 1, kReadAheadForward);
  EXPECT_EQ(file->DiskReads(), 1);
  EXPECT_EQ(file->CachedCount(), 431u);
  for (int32_t n = 2; n <= 431; ++n) Touch(*file, n, kReadAheadForward);
  EXPECT_EQ(file->DiskReads(), 1);
  Touch(*file, 432, kReadAheadForward);
  EXPECT_EQ(file->DiskReads(), 2);
  // Forward read-ahead stops at the last record.
  Touch(*file, 990, kReadAheadForward);
  EXPECT_EQ(file->DiskReads(), 3);
  EXPECT_EQ(file->CacheHits(), 430);
}

TEST_F(CacheTest, BackwardReadAheadEndsAtTheRecord) {
  auto file = Open();
  Touch(*file, 1000, kReadAheadBackward);
  EXPECT_EQ(file->CachedCount(), 431u);
  Touch(*file, 570);
  EXPECT_EQ(file->DiskReads(), 1);
  Touch(*file, 569);
  EXPECT_EQ(file->DiskReads(), 2);
  Touch(*file, 3, -10);  // never before record 1
  EXPECT_EQ(file->DiskReads(), 3);
  Touch(*file, 1);
  EXPECT_EQ(file->DiskReads(), 3);
}

TEST_F(CacheTest, FullCacheEvictsTheOldestCleanRecord) {
  owner_.limits.data_bytes = 19 * 10;
  auto file = Open();
  for (int32_t n = 1; n <= 30; ++n) Touch(*file, n);
  EXPECT_EQ(file->CachedCount(), 10u);
  EXPECT_EQ(file->CacheCapacity(), 10u);
  Touch(*file, 21);  // still cached: the newest ten are 21 ... 30
  EXPECT_EQ(file->DiskReads(), 30);
  Touch(*file, 1);
  EXPECT_EQ(file->DiskReads(), 31);
}

TEST_F(CacheTest, PinnedRecordsMakeTheCacheGrowBy64AndTrimShrinksIt) {
  owner_.limits.data_bytes = 19 * 10;
  auto file = Open();
  std::vector<TRecord*> held;
  for (int32_t n = 1; n <= 12; ++n) {
    TRecord* rec = nullptr;
    ASSERT_TRUE(file->GetRecord(nullptr, n, 1, &rec));
    held.push_back(rec);
  }
  EXPECT_EQ(file->CacheCapacity(), 74u);
  EXPECT_EQ(file->CachedCount(), 12u);
  for (size_t i = 0; i < held.size(); ++i) EXPECT_EQ(held[i]->Number(), static_cast<int>(i + 1));
  for (TRecord* rec : held) file->ReleaseRecord(rec);
  file->TrimRecordCache();
  EXPECT_EQ(file->CachedCount(), 10u);
  EXPECT_EQ(file->CacheCapacity(), 10u);
}

TEST_F(CacheTest, DirtyRecordsAreWrittenBeforeEvictionOutsideATransaction) {
  owner_.limits.data_bytes = 19 * 4;
  auto file = Open();
  for (int32_t n = 1; n <= 4; ++n) {
    TRecord* rec = nullptr;
    ASSERT_TRUE(file->GetRecord(nullptr, n, 1, &rec));
    PutI32(rec->Data() + 15, 7000 + n);
    rec->MarkDirty();
    file->ReleaseRecord(rec);
  }
  Touch(*file, 5);  // full of dirty records: they are written, then one is reused
  EXPECT_EQ(file->CacheCapacity(), 4u);
  std::vector<uint8_t> b = ReadDiskFile(path_);
  for (int32_t n = 1; n <= 4; ++n) {
    EXPECT_EQ(GetI32(&b[static_cast<size_t>(file->RecordOffset(n)) + 15]), 7000 + n);
  }
}

TEST_F(CacheTest, DirtyRecordsStayInATransactionAndTheCacheGrows) {
  owner_.limits.data_bytes = 19 * 4;
  owner_.in_transaction = true;
  auto file = Open();
  std::vector<uint8_t> before = ReadDiskFile(path_);
  for (int32_t n = 1; n <= 5; ++n) {
    TRecord* rec = nullptr;
    ASSERT_TRUE(file->GetRecord(nullptr, n, 1, &rec));
    rec->MarkDirty();
    file->ReleaseRecord(rec);
  }
  EXPECT_EQ(file->CacheCapacity(), 68u);
  EXPECT_EQ(ReadDiskFile(path_), before);
}

TEST_F(CacheTest, RunsOfDirtyRecordsAreWrittenInPlace) {
  auto file = Open();
  for (int32_t n : {2, 3, 4, 7, 999, 1000}) {
    TRecord* rec = nullptr;
    ASSERT_TRUE(file->GetRecord(nullptr, n, 1, &rec));
    PutI32(rec->Data() + 15, -n);
    rec->MarkDirty();
    if (n != 7) file->ReleaseRecord(rec);  // 7 stays held by its cursor
  }
  EXPECT_TRUE(file->FlushRecords());
  EXPECT_FALSE(file->FlushRecords());
  std::vector<uint8_t> b = ReadDiskFile(path_);
  for (int32_t n = 1; n <= 1000; ++n) {
    int32_t expected = (n == 2 || n == 3 || n == 4 || n == 7 || n >= 999) ? -n : 0;
    ASSERT_EQ(GetI32(&b[static_cast<size_t>(file->RecordOffset(n)) + 15]), expected) << n;
  }
}

TEST_F(CacheTest, DiscardDropsUnwrittenChanges) {
  auto file = Open();
  TRecord* rec = nullptr;
  ASSERT_TRUE(file->GetRecord(nullptr, 5, 1, &rec));
  PutI32(rec->Data() + 10, 0);
  rec->MarkDirty();
  file->ReleaseRecord(rec);
  file->DiscardRecords();
  EXPECT_EQ(file->CachedCount(), 0u);
  Touch(*file, 5);
}

TEST(RecordStackTest, KeepsAtMost64Spares) {
  TRecordStack stack;
  std::vector<std::unique_ptr<TRecord>> records;
  for (int i = 0; i < 70; ++i) records.push_back(stack.Take(nullptr));
  for (auto& r : records) stack.Give(std::move(r));
  EXPECT_EQ(stack.Count(), 64u);
  std::unique_ptr<TRecord> again = stack.Take(nullptr);
  EXPECT_EQ(stack.Count(), 63u);
  EXPECT_EQ(again->Number(), 0);
  EXPECT_FALSE(again->Dirty());
}

}  // namespace
}  // namespace ficha
