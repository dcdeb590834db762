// Damaged pages give 8965 naming the table: never a crash or a loop.
#include <gtest/gtest.h>

#include <functional>

#include "IndexTestUtil.h"
#include "common/ErrorCodes.h"
#include "engine/index/IndexChecker.h"

namespace ficha {
namespace {

class CorruptIndexTest : public IndexFileFixture {
 protected:
  // A two-level tree of index 1 (no counts when asked), written to disk.
  void Build(int compression, bool no_counts) {
    TIndexDef def = Def("IX", 10, true, compression);
    def.no_counts = no_counts;
    file_->AddSecondaryIndex(def);
    for (int v = 0; v < 1200; ++v) file_->InsertKey(1, Key(v, 10).data(), v + 1);
    Cycle();
    TPage* root = nullptr;
    file_->GetPage(nullptr, 1, file_->RootPage(1), &root);
    first_leaf_ = root->Value(1);
    second_leaf_ = root->Value(2);
    file_->ReleasePage(root);
    file_->DiscardPages();
  }
  // Rewrites slot `index` of the header on disk and reads the header back.
  void PatchSlot(int index, const std::function<void(TIndexDef&)>& change) {
    file_->FlushBuffers(true, false, true);
    std::vector<uint8_t> header = RawPage(0);
    TIndexDef def = TIndexDef::Decode(header.data() + 14 + 120 * index);
    change(def);
    def.Encode(header.data() + 14 + 120 * index);
    WriteRawPage(0, header);
    file_->ReadIndexHeader();
    file_->DiscardPages();
  }
  int32_t first_leaf_ = 0;
  int32_t second_leaf_ = 0;
};

TEST_F(CorruptIndexTest, DamagedPageImages) {
  struct Case {
    const char* what;
    int compression;
    void (*damage)(std::vector<uint8_t>&);
  };
  const Case cases[] = {
      {"bad page type", 0, [](std::vector<uint8_t>& p) { p[0] = 9; }},
      {"count beyond capacity", 0, [](std::vector<uint8_t>& p) { PutU16(p.data() + 1, 292); }},
      {"compressed size beyond 4083", 3,
       [](std::vector<uint8_t>& p) { PutU16(p.data() + 11, 4084); }},
      {"compressed entries running past their size", 3,
       [](std::vector<uint8_t>& p) { PutU16(p.data() + 11, 20); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    Build(c.compression, false);
    std::vector<uint8_t> page = RawPage(first_leaf_);
    c.damage(page);
    WriteRawPage(first_leaf_, page);
    EXPECT_EQ(CodeOf([&] { file_->InsertKey(1, Key(0, 10).data(), 5000); }), FICHA_INDEXCORRUPT);
    bool exact;
    std::vector<TIndexPathStep> path;
    EXPECT_EQ(CodeOf([&] { file_->Search(nullptr, 1, Key(3, 10).data(), 10, &path, &exact); }),
              FICHA_INDEXCORRUPT);
    const TIndexCheckResult check = TIndexChecker(file_.get()).CheckFile();
    EXPECT_FALSE(check.Ok());
  }
}

TEST_F(CorruptIndexTest, SiblingCycleIsReportedNotFollowed) {
  Build(0, true);  // without counts the key count walks the leaves
  std::vector<uint8_t> page = RawPage(second_leaf_);
  PutI32(page.data() + 7, first_leaf_);  // next link back to the first leaf
  WriteRawPage(second_leaf_, page);
  EXPECT_EQ(CodeOf([&] { file_->KeyCount(1); }), FICHA_INDEXCORRUPT);
  const TIndexCheckResult check = TIndexChecker(file_.get()).CheckIndex(1);
  ASSERT_FALSE(check.Ok());
  EXPECT_NE(check.problems.front().find("next link"), std::string::npos);
}

TEST_F(CorruptIndexTest, ChildLinkBackToTheRoot) {
  Build(0, false);
  std::vector<uint8_t> page = RawPage(file_->RootPage(1));
  PutI32(page.data() + 13 + 10, file_->RootPage(1));  // first child = the root itself
  WriteRawPage(file_->RootPage(1), page);
  EXPECT_EQ(CodeOf([&] { file_->InsertKey(1, Key(0, 10).data(), 5000); }), FICHA_INDEXCORRUPT);
  EXPECT_EQ(CodeOf([&] { file_->DeleteKey(1, Key(1, 10).data()); }), FICHA_INDEXCORRUPT);
  EXPECT_FALSE(TIndexChecker(file_.get()).CheckIndex(1).Ok());
}

TEST_F(CorruptIndexTest, MissingKeyAndBadFreeChain) {
  Build(0, false);
  EXPECT_EQ(CodeOf([&] { file_->DeleteKey(1, Key(99999, 10).data()); }), FICHA_INDEXCORRUPT);
  EXPECT_EQ(file_->KeyCount(1), 1200);  // the failed delete changed no count
  EXPECT_TRUE(TIndexChecker(file_.get()).CheckIndex(1).Ok());
  // A free chain that leads into a live page is refused, not reused.
  TIndexDef def = file_->IndexDefinition(1);
  uint8_t slot[kIndexSlotSize];
  def.first_free_page = first_leaf_;
  def.Encode(slot);
  // Write the damaged slot through the header image on disk.
  file_->FlushBuffers(true, false, true);
  std::vector<uint8_t> header = RawPage(0);
  std::memcpy(header.data() + 14 + 120, slot, kIndexSlotSize);
  WriteRawPage(0, header);
  file_->ReadIndexHeader();
  file_->DiscardPages();
  EXPECT_EQ(CodeOf([&] {
              for (int v = 2000; v < 3000; ++v) file_->InsertKey(1, Key(v, 10).data(), v);
            }),
            FICHA_INDEXCORRUPT);
  EXPECT_EQ(CodeOf([&] {
              TPage* page = nullptr;
              file_->GetPage(nullptr, 1, 0, &page);
            }),
            FICHA_INDEXCORRUPT);
}

TEST_F(CorruptIndexTest, KeySizeBeyondTheLimitIsRefusedBeforeAnyPageIsMade) {
  file_->AddSecondaryIndex(Def("IX", 10, true, 3));
  PatchSlot(1, [](TIndexDef& d) { d.key_size = 4000; });
  std::vector<uint8_t> key(4000, 0x41);
  EXPECT_EQ(CodeOf([&] { file_->InsertKey(1, key.data(), 1); }), FICHA_HEADERCORRUPT);
  EXPECT_EQ(file_->RootPage(1), 0);
  EXPECT_EQ(CodeOf([&] { file_->ValidateIndexHeader(); }), FICHA_HEADERCORRUPT);
  // The system indexes have fixed key sizes.
  for (int index : {kSysDeletedIndex, kSysTextIndex}) {
    PatchSlot(index, [](TIndexDef& d) { d.key_size = 300; });
    EXPECT_EQ(CodeOf([&] { file_->InsertKey(index, key.data(), 1); }), FICHA_HEADERCORRUPT);
    EXPECT_EQ(file_->RootPage(index), 0);
  }
}

TEST_F(CorruptIndexTest, FreeChainHeadAtTheNextPageNumberIsANewPage) {
  // Freeing a page never links to the next page number, which marks a chain
  // head that names a page not yet in the file: it is used as a new page.
  Build(0, false);
  const int32_t next = file_->NextPageNumber();
  PatchSlot(1, [next](TIndexDef& d) { d.first_free_page = next; });
  file_->ValidateIndexHeader();
  for (int v = 5000; v < 5300; ++v) file_->InsertKey(1, Key(v, 10).data(), v);
  EXPECT_GT(file_->NextPageNumber(), next);
  EXPECT_EQ(file_->FirstFreePage(1), 0);
  const TIndexCheckResult check = TIndexChecker(file_.get()).CheckFile();
  EXPECT_TRUE(check.Ok()) << check.problems.front();
  EXPECT_EQ(file_->KeyCount(1), 1500);
}

TEST_F(CorruptIndexTest, RemovingAnIndexNeverMovesTheSystemSlots) {
  // Opening accepts up to 32 secondary indexes; only 30 can exist.
  file_->FlushBuffers(true, false, true);
  std::vector<uint8_t> header = RawPage(0);
  header[13] = 32;
  WriteRawPage(0, header);
  file_->ReadIndexHeader();
  EXPECT_EQ(CodeOf([&] { file_->RemoveIndex(1); }), FICHA_HEADERCORRUPT);
  EXPECT_EQ(file_->IndexDefinition(kSysDeletedIndex).name, "Sys Deleted");
  EXPECT_EQ(file_->IndexDefinition(kSysTextIndex).name, "Sys Text");
  // Another writer's header claiming 33 is refused when it is taken in.
  header[13] = 33;
  PutI32(header.data(), GetI32(header.data()) + 1);
  WriteRawPage(0, header);
  EXPECT_EQ(CodeOf([&] { file_->IndexHeaderChanged(); }), FICHA_HEADERCORRUPT);
}

TEST_F(CorruptIndexTest, HeaderVersionAndSecondaryCount) {
  file_->FlushBuffers(true, false, true);
  std::vector<uint8_t> header = RawPage(0);
  header[8] = 4;
  WriteRawPage(0, header);
  file_->CloseFile();
  EXPECT_EQ(CodeOf([&] { file_->OpenFile(); }), FICHA_OLDVERSION);
  EXPECT_FALSE(file_->IsOpen());
  // Put the version right and claim 33 secondary indexes.
  TFileHandler raw;
  raw.SetInMemory(true);
  raw.SetName(name_);
  raw.OpenFile();
  header[8] = 5;
  header[13] = 33;
  raw.SeekTo(0, 0);
  raw.WriteData(header.data(), kIndexHeaderSize);
  raw.CloseFile();
  EXPECT_EQ(CodeOf([&] { file_->OpenFile(); }), FICHA_HEADERCORRUPT);
  EXPECT_FALSE(file_->IsOpen());
}

}  // namespace
}  // namespace ficha
