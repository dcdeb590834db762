#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "tests/engine/blob/BlobTestSupport.h"

namespace ficha::blobtest {
namespace {

using BlobFileTest = BlobFileFixture;

TEST_F(BlobFileTest, NewFileIsExactlyTheHeader) {
  Create(512);
  const Bytes disk = DiskBytes();
  ASSERT_EQ(disk.size(), 512u);
  EXPECT_EQ(disk[8], 5);
  EXPECT_EQ(disk[13], 1);  // next block number 1
  EXPECT_EQ(disk[9] | disk[10] | disk[11] | disk[12], 0);
  EXPECT_EQ(disk[17], 1);  // written right after creation: changed
  EXPECT_EQ(disk[0], 1);   // the write counted once
  Reopen();
  EXPECT_EQ(file_->Header().NextBlock(), 1);
  EXPECT_EQ(file_->BlockCount(), 0);
  EXPECT_FALSE(file_->HeaderChanged());
}

TEST_F(BlobFileTest, BlockSizeLimits) {
  TBlobFile file(&owner_);
  EXPECT_EQ(ErrorOf([&] { file.SetBlockSize(63); }), FICHA_BLOBLIMIT);
  EXPECT_EQ(ErrorOf([&] { file.SetBlockSize(0); }), FICHA_BLOBLIMIT);
  EXPECT_EQ(ErrorOf([&] { file.SetBlockSize(65536); }), FICHA_BLOBLIMIT);
  EXPECT_EQ(ErrorOf([&] { file.SetBlockSize(64); }), 0);
  EXPECT_EQ(ErrorOf([&] { file.SetBlockSize(65535); }), 0);
  // The error names the table.
  try {
    file.SetBlockSize(63);
  } catch (const EFichaEngineError& e) {
    EXPECT_EQ(e.ErrorTableName(), "TABELA");
  }
}

TEST_F(BlobFileTest, CacheAndReadSizesFollowBlockSize) {
  struct Case {
    int block_size;
    size_t capacity;
    int per_read;
  };
  const Case cases[] = {{64, 512, 256}, {512, 64, 32}, {4096, 8, 4}, {20000, 1, 1}};
  for (const Case& c : cases) {
    Create(c.block_size);
    EXPECT_EQ(file_->CacheCapacity(), c.capacity) << c.block_size;
    EXPECT_EQ(file_->BlocksPerRead(), c.per_read) << c.block_size;
  }
  owner_.limits.blob_count = 10;
  Create(64);
  EXPECT_EQ(file_->CacheCapacity(), 10u);
}

TEST_F(BlobFileTest, HeaderWriteAndChangeDetection) {
  Create(512);
  Reopen();                                     // a created file is in exclusive use
  EXPECT_FALSE(file_->WriteBlobHeader(false));  // unchanged
  const int32_t count = file_->Header().ChangeCount();
  EXPECT_TRUE(file_->WriteBlobHeader(true));
  EXPECT_EQ(file_->Header().ChangeCount(), count + 1);
  EXPECT_EQ(DiskBytes()[17], 0);  // forced write of an unchanged header

  // A second user of the file (another program, as far as this one knows).
  TPlainTableOwner other_owner("TABELA");
  TBlobFile other(&other_owner);
  other.SetName(path_);
  other.SetBlockSize(512);
  other.OpenFile();
  EXPECT_FALSE(file_->BlobHeaderChanged());
  TPinnedBlock block = other.NewBlock();
  block.Release();
  other.FlushBuffers(false, false, false);
  EXPECT_TRUE(other_owner.modified);
  EXPECT_TRUE(file_->BlobHeaderChanged());
  EXPECT_EQ(file_->Header().NextBlock(), 2);
  EXPECT_FALSE(file_->BlobHeaderChanged());
}

TEST_F(BlobFileTest, OpenRefusesBadHeaders) {
  Create(512);
  file_.reset();
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    int error;
  };
  const Case cases[] = {
      {"garbage",
       [](Bytes& b) {
         b = Pattern(512, 9);
         b[8] = 0x77;
       },
       FICHA_OLDVERSION},
      {"version 4", [](Bytes& b) { b[8] = 4; }, FICHA_OLDVERSION},
      {"short header", [](Bytes& b) { b.resize(300); }, FICHA_READERR},
      {"empty file", [](Bytes& b) { b.clear(); }, FICHA_READERR},
  };
  const Bytes good = DiskBytes();
  for (const Case& c : cases) {
    Bytes bytes = good;
    c.change(bytes);
    WriteDisk(bytes);
    TBlobFile file(&owner_);
    file.SetName(path_);
    EXPECT_EQ(ErrorOf([&] { file.OpenFile(); }), c.error) << c.what;
    EXPECT_FALSE(file.IsOpen()) << c.what;
  }
}

TEST_F(BlobFileTest, ValidateHeader) {
  Create(512);
  Save({}, Pattern(1000, 1), 1);  // three blocks
  file_->FlushBuffers(false, false, false);
  file_.reset();
  const Bytes good = DiskBytes();
  struct Case {
    int32_t first_free;
    int32_t next;
    int error;
  };
  const Case cases[] = {{0, 4, 0},
                        {3, 4, 0},
                        {4, 4, FICHA_HEADERCORRUPT},
                        {-1, 4, FICHA_HEADERCORRUPT},
                        {0, 0, FICHA_HEADERCORRUPT},
                        {0, -5, FICHA_HEADERCORRUPT},
                        {0, 3, 0},                     // a block more than counted
                        {0, 5, FICHA_HEADERCORRUPT}};  // a block missing
  for (const Case& c : cases) {
    Bytes bytes = good;
    TBlobFileHeader header;
    header.Decode(bytes.data());
    header.SetFirstFreeBlock(c.first_free);
    header.SetNextBlock(c.next);
    header.Encode(bytes.data(), false);
    WriteDisk(bytes);
    TBlobFile file(&owner_);
    file.SetName(path_);
    file.OpenFile();
    EXPECT_EQ(ErrorOf([&] { file.ValidateBlobHeader(); }), c.error)
        << c.first_free << " " << c.next;
  }
}

TEST_F(BlobFileTest, GetBlockBounds) {
  Create(512);
  Save({}, Pattern(1000, 1), 1);
  TPinnedBlock block;
  EXPECT_EQ(ErrorOf([&] { file_->GetBlock(nullptr, 0, 1, &block); }), FICHA_MEMOCORRUPT);
  EXPECT_EQ(ErrorOf([&] { file_->GetBlock(nullptr, -1, 1, &block); }), FICHA_MEMOCORRUPT);
  EXPECT_EQ(ErrorOf([&] { file_->GetBlock(nullptr, 5, 1, &block); }), FICHA_MEMOCORRUPT);
  // The next block number appends a zero block.
  EXPECT_TRUE(file_->GetBlock(nullptr, 4, 1, &block));
  EXPECT_EQ(block->Header(), TBlockHeader{});
  EXPECT_EQ(file_->Header().NextBlock(), 5);
  EXPECT_TRUE(file_->HeaderChanged());
}

TEST_F(BlobFileTest, FullFileRefusesNewBlocks) {
  struct Case {
    int block_size;
    int32_t next;  // next block number stored in the header
    int error;
  };
  // The end of the new block, 512 + n * B, may not pass 4,000,000,000 (the
  // limit of 2,000,000,000 blocks lies beyond that for every block size).
  const Case cases[] = {{512, 7812499, 0},
                        {512, 7812500, FICHA_TABLEFULL},
                        {64, 62499992, 0},
                        {64, 62499993, FICHA_TABLEFULL}};
  for (const Case& c : cases) {
    Create(c.block_size);
    file_.reset();
    Bytes bytes = DiskBytes();
    TBlobFileHeader header;
    header.Decode(bytes.data());
    header.SetNextBlock(c.next);
    header.Encode(bytes.data(), false);
    WriteDisk(bytes);
    file_ = std::make_unique<TBlobFile>(&owner_);
    file_->SetName(path_);
    file_->SetBlockSize(c.block_size);
    file_->OpenFile();
    EXPECT_EQ(ErrorOf([&] { file_->NewBlock(); }), c.error) << c.block_size << " " << c.next;
    file_->DiscardBlocks();  // nothing of this reaches the disk
  }
}

TEST_F(BlobFileTest, DirtyBlocksAreWrittenInRuns) {
  Create(512);
  const TBlobReference a = Save({}, Pattern(2000, 1), 1);  // blocks 1-5
  EXPECT_EQ(file_->Counters().writes, 0);
  file_->FlushBuffers(false, false, false);
  EXPECT_EQ(file_->Counters().writes, 1);  // one run, one write
  // Change blocks 1 and 3 only: two runs.
  for (int32_t n : {1, 3}) {
    TPinnedBlock block;
    file_->GetBlock(nullptr, n, 1, &block);
    block->MarkDirty();
  }
  EXPECT_TRUE(file_->FlushBlocks());
  EXPECT_EQ(file_->Counters().writes, 3);
  EXPECT_FALSE(file_->FlushBlocks());
  Reopen();
  EXPECT_EQ(Load(a), Pattern(2000, 1));
  // A chain of five consecutive blocks is read in one piece.
  EXPECT_EQ(file_->Counters().reads, 2);  // the first block, then the other four
}

TEST_F(BlobFileTest, RewritingALongBlobReadsItsChainInLargePieces) {
  Create(512);
  const int64_t blocks = 200;
  TBlobReference ref = Save({}, Pattern(494 * blocks, 1), 1);
  Reopen();
  const int64_t reads_before = file_->Counters().reads;
  ref = Save(ref, Pattern(494 * blocks, 2), 2);
  // The chain is walked once to check it and once to rewrite it, 32 blocks
  // per read; blocks read ahead must not push each other out of the cache.
  const int64_t pieces = (blocks + 31) / 32;
  EXPECT_LE(file_->Counters().reads - reads_before, 2 * (pieces + 1));
  Reopen();
  EXPECT_EQ(Load(ref), Pattern(494 * blocks, 2));
}

TEST_F(BlobFileTest, ReadAheadRefreshesOnlyCleanUnpinnedBlocks) {
  Create(512);
  Save({}, Pattern(2000, 1), 1);
  Reopen();
  TPinnedBlock b2;
  file_->GetBlock(nullptr, 2, 1, &b2);
  b2->Data()[0] ^= 0xFF;  // a change in memory, not marked dirty, still pinned
  const uint8_t changed = b2->Data()[0];
  TPinnedBlock b1;
  file_->GetBlock(nullptr, 1, 5, &b1);  // reads 1..5 and passes over block 2
  EXPECT_EQ(b2->Data()[0], changed);
  b2.Release();
  b1.Release();
  EXPECT_EQ(file_->CachedBlocks(), 5u);
}

TEST_F(BlobFileTest, SmallCacheEvictsAndTrims) {
  owner_.limits.blob_bytes = 2 * 512;  // two blocks
  Create(512);
  EXPECT_EQ(file_->CacheCapacity(), 2u);
  const TBlobReference ref = Save({}, Pattern(494 * 20, 1), 1);
  // Dirty blocks were written to make room; the cache stayed small.
  EXPECT_LE(file_->CachedBlocks(), 2u);
  EXPECT_GT(file_->Counters().writes, 0);
  file_->FlushBuffers(false, false, true);
  Reopen();
  EXPECT_EQ(Load(ref), Pattern(494 * 20, 1));
  EXPECT_LE(file_->CachedBlocks(), 2u);
}

TEST_F(BlobFileTest, TransactionKeepsChangesInTheCache) {
  owner_.limits.blob_bytes = 2 * 512;
  Create(512);
  owner_.in_transaction = true;
  const TBlobReference ref = Save({}, Pattern(494 * 10, 1), 1);
  EXPECT_TRUE(owner_.changed_in_transaction);
  EXPECT_GE(file_->CachedBlocks(), 10u);  // grew instead of writing
  const int32_t count = file_->Header().ChangeCount();
  EXPECT_FALSE(file_->FlushBuffers(true, false, true));
  EXPECT_EQ(file_->Header().ChangeCount(), count + 1);  // counted, not written
  EXPECT_EQ(DiskBytes().size(), 512u);
  owner_.in_transaction = false;  // commit
  EXPECT_TRUE(file_->FlushBuffers(true, true, true));
  EXPECT_LE(file_->CachedBlocks(), 2u);
  Reopen();
  EXPECT_EQ(Load(ref), Pattern(494 * 10, 1));
}

TEST_F(BlobFileTest, EncryptedBlocksReadBackButDifferOnDisk) {
  Create(512, true);
  const Bytes content = Pattern(1000, 1);
  const TBlobReference ref = Save({}, content, 1);
  file_->FlushBuffers(false, false, false);
  const Bytes disk = DiskBytes();
  EXPECT_NE(disk[8], 5);  // the header is scrambled too
  EXPECT_FALSE(std::equal(content.begin(), content.begin() + 494, disk.begin() + 512 + 18));
  Reopen();
  EXPECT_EQ(file_->Header().Version(), 5);
  EXPECT_EQ(Load(ref), content);
  // Opened as a plain table the header makes no sense.
  file_.reset();
  TBlobFile plain(&owner_);
  plain.SetName(path_);
  EXPECT_EQ(ErrorOf([&] { plain.OpenFile(); }), FICHA_OLDVERSION);
}

TEST_F(BlobFileTest, EmptyBlobFile) {
  Create(512);
  Save({}, Pattern(3000, 1), 1);
  file_->FlushBuffers(false, false, false);
  ASSERT_GT(DiskBytes().size(), 512u);
  const int32_t count = file_->Header().ChangeCount();
  file_->EmptyBlobFile();
  EXPECT_EQ(file_->CachedBlocks(), 0u);
  file_->FlushBuffers(false, false, false);
  EXPECT_EQ(DiskBytes().size(), 512u);
  EXPECT_EQ(file_->Header().NextBlock(), 1);
  EXPECT_EQ(file_->Header().FirstFreeBlock(), 0);
  EXPECT_EQ(file_->Header().ChangeCount(), count + 1);  // goes on, never back
}

TEST_F(BlobFileTest, FreeChainLinksAndRepair) {
  Create(512);
  const TBlobReference a = Save({}, Pattern(1000, 1), 1);  // 1,2,3
  const TBlobReference b = Save({}, Pattern(500, 2), 2);   // 4,5
  file_->FreeBlobChain(b.first_block, 2, false);
  EXPECT_EQ(FreeChain(), (std::vector<int32_t>{5, 4}));
  // A wrong revision frees nothing, unless repairing.
  EXPECT_EQ(ErrorOf([&] { file_->FreeBlobChain(a.first_block, 9, false); }), FICHA_MEMOCORRUPT);
  EXPECT_EQ(FreeChain().size(), 2u);
  file_->FreeBlobChain(a.first_block, 9, true);
  EXPECT_EQ(FreeChain(), (std::vector<int32_t>{3, 2, 1, 5, 4}));
  // Blocks come back off the free chain in its order.
  EXPECT_EQ(file_->NewBlock()->Number(), 3);
  EXPECT_EQ(file_->NewBlock()->Number(), 2);
  EXPECT_EQ(file_->Header().FirstFreeBlock(), 1);
}

TEST_F(BlobFileTest, RepairOverwritesRevisionsButNotPins) {
  Create(512);
  const TBlobReference a = Save({}, Pattern(1000, 1), 1);  // 1,2,3
  PatchDiskBlock(2, [](TBlockHeader& h) { h.revision = 9; });
  EXPECT_EQ(ErrorOf([&] { file_->FreeBlobChain(a.first_block, 1, false); }), FICHA_MEMOCORRUPT);
  EXPECT_EQ(file_->Header().FirstFreeBlock(), 0);
  {
    // A block another cursor holds is never freed, repair or not.
    TPinnedBlock held;
    ASSERT_TRUE(file_->GetBlock(nullptr, 3, 1, &held));
    EXPECT_EQ(ErrorOf([&] { file_->FreeBlobChain(a.first_block, 1, true); }), FICHA_MEMOCORRUPT);
    EXPECT_EQ(file_->Header().FirstFreeBlock(), 0);
  }
  file_->FreeBlobChain(a.first_block, 1, true);
  EXPECT_EQ(FreeChain(), (std::vector<int32_t>{3, 2, 1}));
  file_->FlushBuffers(false, false, false);
  for (int32_t n : {1, 2, 3}) EXPECT_EQ(DiskBlock(n).revision, 1) << n;
}

TEST_F(BlobFileTest, GarbageCountsInAHeaderOfTheRightVersion) {
  Create(512);
  Save({}, Pattern(1000, 1), 1);  // three blocks on disk
  file_->FlushBuffers(false, false, false);
  file_.reset();
  const Bytes good = DiskBytes();
  struct Case {
    const char* what;
    int32_t first_free;
    int32_t next;
    int load_error;  // loading the blob {2, 1}
    int new_error;   // taking a new block
  };
  const Case cases[] = {
      {"lowest next block number", 77, std::numeric_limits<int32_t>::min(), FICHA_MEMOCORRUPT,
       FICHA_MEMOCORRUPT},
      {"negative counts", -5, -5, FICHA_MEMOCORRUPT, FICHA_MEMOCORRUPT},
      {"highest next block number", 0, std::numeric_limits<int32_t>::max(), 0, FICHA_TABLEFULL},
      {"free block beyond the file", 100, 200, 0, FICHA_READERR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = good;
    TBlobFileHeader header;
    header.Decode(bytes.data());
    header.SetFirstFreeBlock(c.first_free);
    header.SetNextBlock(c.next);
    header.Encode(bytes.data(), false);
    WriteDisk(bytes);
    file_ = std::make_unique<TBlobFile>(&owner_);
    file_->SetName(path_);
    file_->SetBlockSize(512);
    file_->OpenFile();
    EXPECT_EQ(ErrorOf([&] { file_->ValidateBlobHeader(); }), FICHA_HEADERCORRUPT);
    EXPECT_EQ(ErrorOf([&] { Load({2, 1}); }), c.load_error);
    EXPECT_EQ(ErrorOf([&] { file_->NewBlock(); }), c.new_error);
    file_->DiscardBlocks();
    file_.reset();
  }
}

TEST_F(BlobFileTest, BlockMissingFromAShortFileIsAReadError) {
  Create(512);
  const TBlobReference a = Save({}, Pattern(1000, 1), 1);
  file_->FlushBuffers(false, false, false);
  file_.reset();
  Bytes bytes = DiskBytes();
  bytes.resize(512 + 2 * 512);  // block 3 lost, the header still counts it
  WriteDisk(bytes);
  file_ = std::make_unique<TBlobFile>(&owner_);
  file_->SetName(path_);
  file_->SetBlockSize(512);
  file_->OpenFile();
  EXPECT_EQ(ErrorOf([&] { file_->ValidateBlobHeader(); }), FICHA_HEADERCORRUPT);
  EXPECT_EQ(ErrorOf([&] { Load(a); }), FICHA_READERR);
}

TEST_F(BlobFileTest, DamagedFreeChainIsRefused) {
  Create(512);
  const TBlobReference a = Save({}, Pattern(1000, 1), 1);
  file_->FreeBlobChain(a.first_block, 1, false);  // free chain 3 -> 2 -> 1
  PatchDiskBlock(3, [](TBlockHeader& h) { h.next = 3; });
  EXPECT_EQ(ErrorOf([&] { file_->NewBlock(); }), FICHA_MEMOCORRUPT);
  PatchDiskBlock(3, [](TBlockHeader& h) { h.next = 77; });
  EXPECT_EQ(ErrorOf([&] { file_->NewBlock(); }), FICHA_MEMOCORRUPT);
}

}  // namespace
}  // namespace ficha::blobtest
