#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "tests/engine/blob/BlobTestSupport.h"

namespace ficha::blobtest {
namespace {

using BlobBufferTest = BlobFileFixture;

TEST_F(BlobBufferTest, ThousandBytesTakeThreeBlocks) {
  Create(512);
  const Bytes content = Pattern(1000, 1);
  const TBlobReference ref = Save({}, content, 7);
  EXPECT_EQ(ref, (TBlobReference{1, 7}));
  file_->FlushBuffers(false, false, false);

  EXPECT_EQ(DiskBytes().size(), 512u + 3 * 512u);
  const TBlockHeader b1 = DiskBlock(1), b2 = DiskBlock(2), b3 = DiskBlock(3);
  EXPECT_EQ(b1, (TBlockHeader{0, 2, 494, 7, 1000}));
  EXPECT_EQ(b2, (TBlockHeader{1, 3, 494, 7, 0}));
  EXPECT_EQ(b3, (TBlockHeader{2, 0, 12, 7, 0}));
  const Bytes disk = DiskBytes();
  EXPECT_TRUE(std::equal(content.begin(), content.begin() + 494, disk.begin() + 512 + 18));
  EXPECT_TRUE(std::equal(content.end() - 12, content.end(), disk.begin() + 512 + 2 * 512 + 18));

  Reopen();
  EXPECT_EQ(file_->Header().NextBlock(), 4);
  EXPECT_EQ(Load(ref), content);
}

TEST_F(BlobBufferTest, ShrinkFreesTailAndGrowReusesIt) {
  Create(512);
  TBlobReference ref = Save({}, Pattern(1000, 1), 1);

  const Bytes small = Pattern(100, 2);
  ref = Save(ref, small, 2);
  EXPECT_EQ(ref.first_block, 1);  // first block kept
  EXPECT_EQ(file_->Header().NextBlock(), 4);
  const std::vector<int32_t> free_chain = FreeChain();
  EXPECT_EQ(std::set<int32_t>(free_chain.begin(), free_chain.end()), (std::set<int32_t>{2, 3}));
  file_->FlushBuffers(false, false, false);
  EXPECT_EQ(DiskBlock(1), (TBlockHeader{0, 0, 100, 2, 100}));
  Reopen();
  EXPECT_EQ(Load(ref), small);

  const Bytes big = Pattern(1000, 3);
  ref = Save(ref, big, 3);
  EXPECT_EQ(file_->Header().NextBlock(), 4);  // no block added
  EXPECT_EQ(file_->Header().FirstFreeBlock(), 0);
  Reopen();
  EXPECT_EQ(Load(ref), big);
  EXPECT_EQ(DiskBytes().size(), 512u + 3 * 512u);
}

TEST_F(BlobBufferTest, GrowingLinksReusedAndNewBlocks) {
  Create(512);
  TBlobReference a = Save({}, Pattern(1000, 1), 1);  // 1,2,3
  Save({}, Pattern(100, 2), 2);                      // 4
  const Bytes grown = Pattern(2000, 3);
  a = Save(a, grown, 3);  // 1,2,3 kept, 5 and 6 added
  file_->FlushBuffers(false, false, false);
  const TBlockHeader expected[] = {{0, 2, 494, 3, 2000}, {1, 3, 494, 3, 0}, {2, 5, 494, 3, 0},
                                   {0, 0, 100, 2, 100},  {3, 6, 494, 3, 0}, {5, 0, 24, 3, 0}};
  for (int32_t n = 1; n <= 6; ++n) EXPECT_EQ(DiskBlock(n), expected[n - 1]) << "block " << n;
  Reopen();
  EXPECT_EQ(Load(a), grown);
}

TEST_F(BlobBufferTest, EmptyBlobFreesWholeChain) {
  Create(512);
  TBlobReference ref = Save({}, Pattern(1000, 1), 1);
  ref = Save(ref, {}, 2);
  EXPECT_EQ(ref.first_block, 0);
  EXPECT_EQ(FreeChain().size(), 3u);
  EXPECT_TRUE(Load(ref).empty());
  // The freed blocks serve the next blob.
  const TBlobReference other = Save({}, Pattern(1400, 4), 3);
  EXPECT_EQ(file_->Header().NextBlock(), 4);
  Reopen();
  EXPECT_EQ(Load(other), Pattern(1400, 4));
}

TEST_F(BlobBufferTest, RevisionMismatchIsChangedByAnotherUser) {
  Create(512);
  const TBlobReference old_ref = Save({}, Pattern(1000, 1), 5);
  const TBlobReference new_ref = Save(old_ref, Pattern(900, 2), 6);
  ASSERT_EQ(new_ref.first_block, old_ref.first_block);
  Reopen();
  EXPECT_EQ(ErrorOf([&] { Load(old_ref); }), FICHA_KEYORRECDELETED);
  // A middle block of another revision is caught as well.
  PatchDiskBlock(2, [](TBlockHeader& h) { h.revision = 99; });
  EXPECT_EQ(ErrorOf([&] { Load(new_ref); }), FICHA_KEYORRECDELETED);
  // Saving over a chain that was rewritten since is refused before any change.
  EXPECT_EQ(ErrorOf([&] { Save(old_ref, Pattern(10, 3), 7); }), FICHA_KEYORRECDELETED);
}

TEST_F(BlobBufferTest, DamagedChainsGiveErrorsNotHangs) {
  struct Case {
    const char* what;
    int32_t block;
    std::function<void(TBlockHeader&)> change;
    int error;
  };
  const Case cases[] = {
      {"stated length beyond the chain", 1, [](TBlockHeader& h) { h.total = 1300; },
       FICHA_ENDOFBLOB},
      {"chain cut short", 2, [](TBlockHeader& h) { h.next = 0; }, FICHA_ENDOFBLOB},
      {"used count too small", 3, [](TBlockHeader& h) { h.used = 5; }, FICHA_ENDOFBLOB},
      {"link outside the file", 2, [](TBlockHeader& h) { h.next = 40; }, FICHA_MEMOCORRUPT},
      {"negative link", 1, [](TBlockHeader& h) { h.next = -3; }, FICHA_MEMOCORRUPT},
      {"cycle", 2, [](TBlockHeader& h) { h.next = 1; }, FICHA_MEMOCORRUPT},
      {"cycle with empty blocks", 2,
       [](TBlockHeader& h) {
         h.next = 2;
         h.used = 0;
       },
       FICHA_MEMOCORRUPT},
      {"used count beyond a block", 1, [](TBlockHeader& h) { h.used = 495; }, FICHA_INVALIDBLOBLEN},
      {"negative length", 1, [](TBlockHeader& h) { h.total = -1; }, FICHA_INVALIDBLOBLEN},
      {"absurd length", 1, [](TBlockHeader& h) { h.total = 2000000000; }, FICHA_ENDOFBLOB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Create(512);
    const TBlobReference ref = Save({}, Pattern(1200, 1), 1);
    PatchDiskBlock(c.block, c.change);
    EXPECT_EQ(ErrorOf([&] { Load(ref); }), c.error);
  }
}

TEST_F(BlobBufferTest, DamagedChainIsNotRewrittenOrFreed) {
  Create(512);
  const TBlobReference ref = Save({}, Pattern(1200, 1), 1);
  PatchDiskBlock(3, [](TBlockHeader& h) { h.next = 2; });  // cycle 2 -> 3 -> 2
  EXPECT_EQ(ErrorOf([&] { Save(ref, Pattern(100, 2), 2); }), FICHA_MEMOCORRUPT);
  EXPECT_EQ(ErrorOf([&] { file_->FreeBlobChain(ref.first_block, 1, false); }), FICHA_MEMOCORRUPT);
  EXPECT_EQ(file_->Header().FirstFreeBlock(), 0);
  EXPECT_FALSE(file_->FlushBlocks());  // nothing was changed
}

TEST_F(BlobBufferTest, GrowingIntoAFullFileKeepsTheStoredBlob) {
  Create(512);
  const Bytes content = Pattern(1000, 1);
  const TBlobReference ref = Save({}, content, 1);  // blocks 1-3
  // Pretend the file has grown to its limit: only one more block fits
  // (512 + 7,812,499 * 512 = 4,000,000,000).
  file_->FlushBuffers(false, false, false);
  file_.reset();
  Bytes bytes = DiskBytes();
  TBlobFileHeader header;
  header.Decode(bytes.data());
  header.SetNextBlock(7812499);
  header.Encode(bytes.data(), false);
  WriteDisk(bytes);
  file_ = std::make_unique<TBlobFile>(&owner_);
  file_->SetName(path_);
  file_->SetBlockSize(512);
  file_->OpenFile();

  // 2,000 bytes need five blocks: two new ones, of which only one fits.
  EXPECT_EQ(ErrorOf([&] { Save(ref, Pattern(2000, 2), 2); }), FICHA_TABLEFULL);
  // The post fails as a whole: the record's blob is still there, and the
  // block taken on the way is free again.
  EXPECT_EQ(Load(ref), content);
  EXPECT_EQ(FreeChain(), (std::vector<int32_t>{7812499}));
  file_->DiscardBlocks();  // keep the 4 GB block off the disk
}

TEST_F(BlobBufferTest, BlockHeldElsewhereIsCorrupt) {
  Create(512);
  const TBlobReference ref = Save({}, Pattern(1000, 1), 1);
  TPinnedBlock held;
  ASSERT_TRUE(file_->GetBlock(nullptr, 2, 1, &held));
  EXPECT_EQ(ErrorOf([&] { Load(ref); }), FICHA_MEMOCORRUPT);
  held.Release();
  EXPECT_EQ(Load(ref), Pattern(1000, 1));
}

TEST_F(BlobBufferTest, LoadStartsAgainAfterChangeByAnotherProgram) {
  Create(512);
  const TBlobReference ref = Save({}, Pattern(3000, 1), 1);
  Reopen();
  FakeCursor cursor;
  cursor.changes_left = 2;
  cursor.on_change = [&] { file_->DiscardBlocks(); };
  EXPECT_EQ(Load(ref, &cursor), Pattern(3000, 1));
  EXPECT_GE(cursor.calls, 3);

  // With strict change detection the cursor is not asked.
  owner_.strict_change_detection = true;
  file_->DiscardBlocks();
  FakeCursor strict;
  strict.changes_left = -1;
  EXPECT_EQ(Load(ref, &strict), Pattern(3000, 1));
  EXPECT_EQ(strict.calls, 0);
  owner_.strict_change_detection = false;

  // A blob that keeps changing under the reader ends in an error, not a loop.
  file_->DiscardBlocks();
  FakeCursor restless;
  restless.changes_left = -1;
  EXPECT_EQ(ErrorOf([&] { Load(ref, &restless); }), FICHA_KEYORRECDELETED);
}

TEST_F(BlobBufferTest, KeepAndRestoreCopy) {
  Create(512);
  TBlobBuffer buffer(file_.get(), nullptr, 3, {});
  const Bytes a = Pattern(50, 1);
  buffer.Write(0, 50, a.data());
  buffer.SetModified(true);
  buffer.KeepCopy();
  buffer.Resize(10);
  buffer.Write(20, 3, a.data());
  buffer.SetModified(false);
  EXPECT_EQ(buffer.Length(), 23);
  EXPECT_EQ(buffer.Data()[15], 0);  // gap filled with zeros
  buffer.RestoreCopy();
  EXPECT_EQ(Bytes(buffer.Data(), buffer.Data() + buffer.Length()), a);
  EXPECT_TRUE(buffer.Modified());

  uint8_t out[10];
  EXPECT_EQ(buffer.Read(45, 10, out), 5);
  EXPECT_EQ(buffer.Read(50, 10, out), 0);
  EXPECT_EQ(ErrorOf([&] { buffer.Resize(kMaxBlobLength + 1); }), FICHA_INVALIDBLOBLEN);
  EXPECT_EQ(ErrorOf([&] { buffer.Write(kMaxBlobLength, 1, out); }), FICHA_INVALIDBLOBLEN);
}

// Many blobs rewritten at random sizes: every blob reads back as last saved,
// and every block of the file is either in exactly one chain or free.
TEST_F(BlobBufferTest, RandomRewritesKeepChainsAndFreeListConsistent) {
  for (int block_size : {64, 512, 4096}) {
    SCOPED_TRACE(block_size);
    Create(block_size);
    owner_.limits.blob_bytes = block_size * 4;  // a small cache: evictions happen
    Reopen();
    std::mt19937 random(block_size);
    std::map<int, std::pair<TBlobReference, Bytes>> blobs;
    int32_t revision = 0;
    for (int step = 0; step < 300; ++step) {
      const int id = static_cast<int>(random() % 6);
      const size_t sizes[] = {0, 1, 45, 46, 47, 494, 1000, 5000, 20000};
      const size_t length = sizes[random() % 9];
      const Bytes content = Pattern(length, static_cast<uint32_t>(step));
      revision = NextBlobRevision(revision);
      blobs[id] = {Save(blobs[id].first, content, revision), content};
      if (step % 50 == 49) Reopen();
    }
    Reopen();
    std::multiset<int32_t> used;
    for (const auto& [id, blob] : blobs) {
      EXPECT_EQ(Load(blob.first), blob.second) << id;
      for (int32_t n : file_->ChainBlocks(blob.first.first_block, blob.first.revision, false,
                                          FICHA_KEYORRECDELETED)) {
        used.insert(n);
      }
    }
    for (int32_t n : FreeChain()) used.insert(n);
    std::multiset<int32_t> all;
    for (int32_t n = 1; n <= file_->BlockCount(); ++n) all.insert(n);
    EXPECT_EQ(used, all);
    file_.reset();
  }
}

}  // namespace
}  // namespace ficha::blobtest
