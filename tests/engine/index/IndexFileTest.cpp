#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "IndexTestUtil.h"
#include "common/ErrorCodes.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "engine/index/IndexChecker.h"

namespace ficha {
namespace {

using IndexFileTest = IndexFileFixture;

TEST_F(IndexFileTest, NewFileHeader) {
  file_->FlushBuffers(false, false, true);
  EXPECT_EQ(file_->GetFileSize(), 4096);
  std::vector<uint8_t> header(kIndexHeaderSize);
  file_->BeginAccess();
  file_->SeekTo(0, 0);
  file_->ReadData(header.data(), kIndexHeaderSize, false);
  file_->EndAccess();
  EXPECT_EQ(header[8], 5);
  EXPECT_EQ(GetI32(header.data() + 9), 1);
  EXPECT_EQ(header[13], 0);
  const TIndexDef deleted = TIndexDef::Decode(header.data() + 14 + 120 * 31);
  const TIndexDef text = TIndexDef::Decode(header.data() + 14 + 120 * 32);
  EXPECT_EQ(deleted.name, "Sys Deleted");
  EXPECT_EQ(deleted.key_size, 5);
  EXPECT_EQ(deleted.compression, 0);
  EXPECT_EQ(text.name, "Sys Text");
  EXPECT_EQ(text.key_size, 68);
  EXPECT_EQ(text.compression, 3);
  for (int i = 0; i < kIndexSlotCount; ++i) EXPECT_EQ(file_->RootPage(i), 0);
  EXPECT_EQ(file_->IndexNumber("sys deleted"), kSysDeletedIndex);

  // Reopening reads the same header back.
  file_->CloseFile();
  file_->OpenFile();
  EXPECT_EQ(file_->NextPageNumber(), 1);
  EXPECT_EQ(file_->IndexDefinition(kSysTextIndex).name, "Sys Text");
}

TEST_F(IndexFileTest, FirstSplitMakesTwoLinkedLeavesUnderRoot) {
  file_->DefinePrimaryIndex(Def("", 10));
  const int capacity = 4083 / 14;
  EXPECT_EQ(capacity, 291);
  for (int v = 0; v < capacity; ++v) file_->InsertKey(0, Key(v, 10).data(), v + 1);
  Cycle();
  EXPECT_EQ(RawPage(file_->RootPage(0))[0], kPageRootLeaf);
  EXPECT_EQ(GetU16(RawPage(file_->RootPage(0)).data() + 1), 291);

  file_->InsertKey(0, Key(capacity, 10).data(), capacity + 1);
  Cycle();
  const std::vector<uint8_t> root = RawPage(file_->RootPage(0));
  ASSERT_EQ(root[0], kPageRootInner);
  ASSERT_EQ(GetU16(root.data() + 1), 2);
  const uint8_t* e1 = root.data() + 13;
  const uint8_t* e2 = e1 + 18;
  const int32_t left = GetI32(e1 + 10), right = GetI32(e2 + 10);
  EXPECT_EQ(GetI32(e1 + 14) + GetI32(e2 + 14), 292);
  const std::vector<uint8_t> l = RawPage(left), r = RawPage(right);
  EXPECT_EQ(l[0], kPageLeaf);
  EXPECT_EQ(r[0], kPageLeaf);
  EXPECT_EQ(GetI32(l.data() + 3), 0);
  EXPECT_EQ(GetI32(l.data() + 7), right);
  EXPECT_EQ(GetI32(r.data() + 3), left);
  EXPECT_EQ(GetI32(r.data() + 7), 0);
  EXPECT_EQ(GetU16(l.data() + 1), 292 - 146);
  EXPECT_EQ(GetU16(r.data() + 1), 146);
  EXPECT_EQ(std::memcmp(e2, r.data() + 13, 10), 0);  // separator = first key of the child
  EXPECT_EQ(file_->KeyCount(0), 292);
  EXPECT_TRUE(TIndexChecker(file_.get()).CheckFile().Ok());
}

TEST_F(IndexFileTest, CapacitiesForKeySizeTen) {
  TPage leaf, inner, inner_no_counts;
  TPageFormat f;
  f.key_size = 10;
  leaf.Reset(1, f);
  inner.Reset(2, f);
  inner.SetType(kPageInner);
  f.no_counts = true;
  inner_no_counts.Reset(3, f);
  inner_no_counts.SetType(kPageRootInner);
  EXPECT_EQ(leaf.Capacity(), 291);
  EXPECT_EQ(inner.Capacity(), 226);
  EXPECT_EQ(inner_no_counts.Capacity(), 291);
}

TEST_F(IndexFileTest, DeletingEveryKeyFreesPagesAndReusesTheLastFreed) {
  file_->DefinePrimaryIndex(Def("", 10));
  for (int v = 0; v < 2000; ++v) file_->InsertKey(0, Key(v * 7 % 2000, 10).data(), v + 1);
  const int32_t pages = file_->NextPageNumber() - 1;
  EXPECT_GT(pages, 8);
  for (int v = 0; v < 2000; ++v) file_->DeleteKey(0, Key(v, 10).data());
  EXPECT_EQ(file_->RootPage(0), 0);
  EXPECT_EQ(file_->KeyCount(0), 0);
  const TIndexCheckResult check = TIndexChecker(file_.get()).CheckFile();
  EXPECT_TRUE(check.Ok()) << check.problems.front();
  EXPECT_EQ(check.free_pages, pages);
  Cycle();
  const int32_t last_freed = file_->FirstFreePage(0);
  EXPECT_NE(last_freed, 0);
  file_->InsertKey(0, Key(1, 10).data(), 1);
  EXPECT_EQ(file_->RootPage(0), last_freed);
  EXPECT_EQ(file_->NextPageNumber(), pages + 1);  // the file did not grow
}

TEST_F(IndexFileTest, ReaddedSecondaryIndexTakesTheRemovedOnesFreePages) {
  file_->DefinePrimaryIndex(Def("", 10));
  file_->AddSecondaryIndex(Def("BYNAME", 10));
  for (int v = 0; v < 1500; ++v) file_->InsertKey(1, Key(v, 10).data(), v + 1);
  Cycle();
  const int32_t next = file_->NextPageNumber();
  file_->FreeIndexPages(1);
  file_->RemoveIndex(1);
  EXPECT_EQ(file_->SecondaryCount(), 0);
  file_->AddSecondaryIndex(Def("BYCITY", 10));
  EXPECT_NE(file_->FirstFreePage(1), 0);
  for (int v = 0; v < 1500; ++v) file_->InsertKey(1, Key(v, 10).data(), v + 1);
  EXPECT_EQ(file_->NextPageNumber(), next);
  EXPECT_TRUE(TIndexChecker(file_.get()).CheckFile().Ok());
}

TEST_F(IndexFileTest, RemovingTheFirstOfThirtySecondaryIndexesKeepsTheOrder) {
  file_->DefinePrimaryIndex(Def("", 10));
  for (int i = 1; i <= 30; ++i) file_->AddSecondaryIndex(Def("IX" + std::to_string(i), 10));
  EXPECT_EQ(CodeOf([&] { file_->AddSecondaryIndex(Def("IX31", 10)); }), FICHA_INDEXLIMIT);
  file_->InsertKey(2, Key(5, 10).data(), 1);  // IX2 has a page
  file_->FreeIndexPages(1);
  file_->RemoveIndex(1);
  ASSERT_EQ(file_->SecondaryCount(), 29);
  for (int i = 1; i <= 29; ++i)
    EXPECT_EQ(file_->IndexDefinition(i).name, "IX" + std::to_string(i + 1));
  EXPECT_EQ(file_->IndexDefinition(30).name, "IX1");  // kept just past the last
  EXPECT_EQ(file_->KeyCount(1), 1);                   // IX2's tree moved with its slot
  Cycle();
  file_->CloseFile();
  file_->OpenFile();
  EXPECT_EQ(file_->IndexNumber("ix30"), 29);
  EXPECT_EQ(file_->KeyCount(1), 1);
}

TEST_F(IndexFileTest, CompressedLeavesHoldFarMore) {
  const int k = 40;
  for (int mode = 1; mode <= 3; ++mode) {
    SCOPED_TRACE(mode);
    const int index = mode;
    file_->AddSecondaryIndex(Def("C" + std::to_string(mode), k, false, mode));
    // Keys sharing a long prefix, zero-padded, with a row-identifier suffix.
    int n = 0;
    for (; n < 2000; ++n) {
      // Mode 1 gets a long common prefix, mode 2 a long zero run, mode 3 both.
      std::vector<uint8_t> key(k, 0);
      const int at = mode == 1 ? 34 : (mode == 2 ? 0 : 20);
      std::memset(key.data(), 'A', static_cast<size_t>(at));
      key[at] = static_cast<uint8_t>(n >> 8);
      key[at + 1] = static_cast<uint8_t>(n);
      key[k - 2] = static_cast<uint8_t>(n >> 8);  // row-identifier suffix
      key[k - 1] = static_cast<uint8_t>(n);
      file_->InsertKey(index, key.data(), n + 1);
      TPage* root = nullptr;
      file_->GetPage(nullptr, index, file_->RootPage(index), &root);
      const bool still_leaf = root->IsLeaf();
      file_->ReleasePage(root);
      if (!still_leaf) break;
    }
    EXPECT_GT(n, 2 * (4083 / (k + 4))) << "entries in one compressed leaf";
    Cycle();
    EXPECT_TRUE(TIndexChecker(file_.get()).CheckIndex(index).Ok());
    EXPECT_EQ(file_->KeyCount(index), n + 1);
  }
}

TEST_F(IndexFileTest, DefinitionErrors) {
  std::vector<TFieldDef> fields(2);
  fields[0].number = 1;
  fields[0].type = kFldInteger;
  fields[1].number = 2;
  fields[1].type = kFldBlob;
  fields[1].subtype = kSubMemo;
  fields[1].name = "NOTES";
  AssignFieldLayout(fields);
  file_->SetKeyContext(fields, TKeyLanguage::Ansi());
  TIndexDef primary = Def("", 5);
  file_->DefinePrimaryIndex(primary);
  EXPECT_EQ(CodeOf([&] { file_->DefinePrimaryIndex(primary); }), FICHA_PRIMARYKEYREDEFINE);
  EXPECT_EQ(CodeOf([&] { file_->AddSecondaryIndex(Def("  ", 9, false)); }),
            FICHA_INDEXNAMEREQUIRED);
  EXPECT_EQ(CodeOf([&] { file_->AddSecondaryIndex(Def("1ABC", 9, false)); }),
            FICHA_INVALIDINDEXNAME);
  file_->AddSecondaryIndex(Def("BYID", 9, false));
  EXPECT_EQ(CodeOf([&] { file_->AddSecondaryIndex(Def(" byid ", 9, false)); }), FICHA_INDEXEXISTS);
  TIndexDef blob = Def("BYNOTES", 12, false);
  blob.field_numbers[0] = 2;
  EXPECT_EQ(CodeOf([&] { file_->AddSecondaryIndex(blob); }), FICHA_SEARCHCOLREQD);
  EXPECT_EQ(LastEngineErrorContext().field, "NOTES");
  TIndexDef wrong_size = Def("BYSIZE", 10, false);
  EXPECT_EQ(CodeOf([&] { file_->AddSecondaryIndex(wrong_size); }), FICHA_INVALIDKEY);
  TIndexDef many = Def("MANY", 9, false);
  many.field_count = 17;
  EXPECT_EQ(CodeOf([&] { file_->AddSecondaryIndex(many); }), FICHA_INDEXLIMIT);
  EXPECT_EQ(file_->SecondaryCount(), 1);
  EXPECT_EQ(CodeOf([&] { file_->RenameIndex(1, "Sys Text"); }), FICHA_INDEXEXISTS);
  file_->RenameIndex(1, "KEYID");
  EXPECT_EQ(file_->IndexNumber("keyid"), 1);
}

TEST_F(IndexFileTest, KeySizeLimitOfNonUniqueIndex) {
  std::vector<TFieldDef> fields(4);
  const int sizes[] = {250, 250, 16, 17};
  for (int i = 0; i < 4; ++i) {
    fields[i].number = static_cast<uint16_t>(i + 1);
    fields[i].type = kFldString;
    fields[i].size = static_cast<uint8_t>(sizes[i]);
  }
  AssignFieldLayout(fields);
  file_->SetKeyContext(fields, TKeyLanguage::Ansi());
  TIndexDef ok = Def("WIDE", 526, false);
  ok.field_count = 3;
  ok.field_numbers = {1, 2, 3};
  file_->AddSecondaryIndex(ok);
  EXPECT_EQ(file_->IndexDefinition(1).key_size, 526);
  TIndexDef too_wide = Def("WIDER", 527, false);
  too_wide.field_count = 3;
  too_wide.field_numbers = {1, 2, 4};
  EXPECT_EQ(CodeOf([&] { file_->AddSecondaryIndex(too_wide); }), FICHA_INVALIDKEY);
  // The widest keys still make a working tree (7 entries per page).
  for (int v = 0; v < 300; ++v) file_->InsertKey(1, Key(v * 13 % 300, 526).data(), v + 1);
  for (int v = 0; v < 300; v += 2) file_->DeleteKey(1, Key(v, 526).data());
  const TIndexCheckResult check = TIndexChecker(file_.get()).CheckFile();
  EXPECT_TRUE(check.Ok()) << check.problems.front();
  EXPECT_EQ(file_->KeyCount(1), 150);
}

TEST_F(IndexFileTest, NoPrimaryIndexKeepsFreeChain) {
  file_->DefinePrimaryIndex(Def("", 10));
  for (int v = 0; v < 600; ++v) file_->InsertKey(0, Key(v, 10).data(), v + 1);
  file_->FreeIndexPages(0);
  const int32_t free_page = file_->FirstFreePage(0);
  file_->RemoveIndex(0);
  EXPECT_TRUE(file_->NoPrimaryIndex());
  EXPECT_FALSE(file_->IndexInUse(0));
  EXPECT_EQ(file_->FirstFreePage(0), free_page);
  file_->DefinePrimaryIndex(Def("", 10));
  EXPECT_FALSE(file_->NoPrimaryIndex());
  EXPECT_EQ(file_->FirstFreePage(0), free_page);
}

TEST_F(IndexFileTest, TemporaryIndexLivesInItsOwnFile) {
  owner_.private_directory = "tmpdir\\";
  file_->DefinePrimaryIndex(Def("", 10));
  file_->InsertKey(0, Key(1, 10).data(), 1);
  TIndexDef temp = Def("TEMP", 10);
  temp.temporary = true;
  file_->AddSecondaryIndex(temp);
  for (int v = 0; v < 1000; ++v) file_->InsertKey(1, Key(v, 10).data(), v + 1);
  const int32_t persistent_pages = file_->NextPageNumber();
  EXPECT_EQ(persistent_pages, 2);  // the temporary pages are numbered apart
  file_->FlushBuffers(true, false, true);
  EXPECT_EQ(file_->GetFileSize(), 2 * 4096);
  // The header on disk does not know the temporary index.
  std::vector<uint8_t> header(kIndexHeaderSize);
  file_->BeginAccess();
  file_->SeekTo(0, 0);
  file_->ReadData(header.data(), kIndexHeaderSize, false);
  file_->EndAccess();
  EXPECT_EQ(header[13], 0);
  EXPECT_EQ(GetU16(header.data() + 14 + 120 + 31), 0);
  // It still works from its own file after the cache is dropped.
  file_->DiscardPages();
  EXPECT_EQ(file_->KeyCount(1), 1000);
  EXPECT_TRUE(TIndexChecker(file_.get()).CheckIndex(1).Ok());
  // A persistent index added now goes in front of the temporary one.
  file_->AddSecondaryIndex(Def("LATER", 10));
  EXPECT_EQ(file_->IndexNumber("LATER"), 1);
  EXPECT_EQ(file_->IndexNumber("TEMP"), 2);
  EXPECT_EQ(file_->KeyCount(2), 1000);
  file_->InsertKey(1, Key(3, 10).data(), 1);
  file_->FlushBuffers(true, false, true);
  // Re-reading the header keeps the in-memory slot.
  file_->ReadIndexHeader();
  EXPECT_EQ(file_->SecondaryCount(), 2);
  EXPECT_EQ(file_->IndexNumber("TEMP"), 2);
  EXPECT_EQ(file_->KeyCount(2), 1000);
  EXPECT_EQ(file_->KeyCount(1), 1);
  file_->CloseFile();
  file_->OpenFile();
  EXPECT_EQ(file_->SecondaryCount(), 1);
  EXPECT_EQ(file_->IndexNumber("TEMP"), -1);
  EXPECT_EQ(file_->KeyCount(1), 1);
}

TEST(IndexFileOnDisk, TemporaryIndexFileIsDeletedAtClose) {
  char pattern[] = "/tmp/ficha_index_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  TPlainTableOwner owner("ORDERS");
  owner.private_directory = dir + "/";
  TIndexFile file(&owner);
  file.SetName(dir + "/ORDERS.IDX");
  file.CreateNewFile();
  TIndexDef temp = IndexFileFixture::Def("TEMP", 10);
  temp.temporary = true;
  file.AddSecondaryIndex(temp);
  for (int v = 0; v < 2000; ++v) file.InsertKey(1, IndexFileFixture::Key(v, 10).data(), v + 1);
  file.FlushBuffers(true, false, true);
  auto files = [&dir] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  std::vector<std::string> names = files();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], "ORDERS.IDX");
  EXPECT_EQ(names[0].substr(names[0].size() - 4), ".IDX");
  EXPECT_GT(std::filesystem::file_size(dir + "/" + names[0]), 4096u);
  EXPECT_EQ(std::filesystem::file_size(dir + "/ORDERS.IDX"), 4096u);
  file.CloseFile();
  EXPECT_EQ(files(), std::vector<std::string>{"ORDERS.IDX"});
  std::filesystem::remove_all(dir);
}

TEST_F(IndexFileTest, ValidateIndexHeaderRefusesImpossibleValues) {
  file_->DefinePrimaryIndex(Def("", 10));
  for (int v = 0; v < 400; ++v) file_->InsertKey(0, Key(v, 10).data(), v + 1);
  file_->FlushBuffers(true, false, true);
  file_->ValidateIndexHeader();
  std::vector<uint8_t> header = RawPage(0);
  PutI32(header.data() + 14 + 86, file_->NextPageNumber() + 5);  // root beyond the file
  WriteRawPage(0, header);
  file_->ReadIndexHeader();
  EXPECT_EQ(CodeOf([&] { file_->ValidateIndexHeader(); }), FICHA_HEADERCORRUPT);
}

TEST_F(IndexFileTest, EncryptedPagesDifferOnDiskAndReadBack) {
  file_->SetEncrypted(true);
  file_->DefinePrimaryIndex(Def("", 10));
  for (int v = 0; v < 500; ++v) file_->InsertKey(0, Key(v, 10).data(), v + 1);
  Cycle();
  const std::vector<uint8_t> raw = RawPage(file_->RootPage(0));
  EXPECT_NE(raw[0], kPageRootInner);  // scrambled
  file_->CloseFile();
  file_->OpenFile();
  EXPECT_EQ(file_->KeyCount(0), 500);
  EXPECT_TRUE(TIndexChecker(file_.get()).CheckFile().Ok());
}

TEST_F(IndexFileTest, HeaderChangeDetection) {
  file_->DefinePrimaryIndex(Def("", 10));
  file_->FlushBuffers(true, false, true);
  file_->CloseFile();  // a created file is exclusive; reopen it shared
  file_->OpenFile();
  EXPECT_FALSE(file_->IndexHeaderChanged());
  // Another handle on the same file writes a new header.
  TPlainTableOwner other_owner("ORDERS");
  TIndexFile other(&other_owner);
  other.SetInMemory(true);
  other.SetName(name_);
  other.OpenFile();
  other.SetActiveRecords(42);
  other.FlushBuffers(false, false, true);
  EXPECT_TRUE(file_->IndexHeaderChanged());
  EXPECT_EQ(file_->ActiveRecords(), 42);
  EXPECT_FALSE(file_->IndexHeaderChanged());
  other.CloseFile();
}

TEST_F(IndexFileTest, TransactionKeepsEverythingInTheCache) {
  file_->DefinePrimaryIndex(Def("", 10));
  file_->FlushBuffers(true, false, true);
  owner_.in_transaction = true;
  for (int v = 0; v < 3000; ++v) file_->InsertKey(0, Key(v, 10).data(), v + 1);
  EXPECT_FALSE(file_->FlushBuffers(false, false, true));
  EXPECT_EQ(file_->GetFileSize(), 4096);
  EXPECT_TRUE(owner_.changed_in_transaction);
  owner_.in_transaction = false;
  EXPECT_TRUE(file_->FlushBuffers(false, false, true));
  EXPECT_EQ(file_->GetFileSize(), static_cast<int64_t>(file_->NextPageNumber()) * 4096);
  file_->DiscardPages();
  EXPECT_EQ(file_->KeyCount(0), 3000);
}

TEST_F(IndexFileTest, EmptyIndexFileResetsEverything) {
  file_->DefinePrimaryIndex(Def("", 10));
  for (int v = 0; v < 800; ++v) file_->InsertKey(0, Key(v, 10).data(), v + 1);
  file_->SetActiveRecords(800);
  file_->FlushBuffers(false, false, true);
  file_->EmptyIndexFile();
  file_->FlushBuffers(false, false, true);
  EXPECT_EQ(file_->GetFileSize(), 4096);
  EXPECT_EQ(file_->NextPageNumber(), 1);
  EXPECT_EQ(file_->RootPage(0), 0);
  EXPECT_EQ(file_->FirstFreePage(0), 0);
  EXPECT_EQ(file_->ActiveRecords(), 0);
  EXPECT_TRUE(file_->IndexInUse(0));
}

TEST_F(IndexFileTest, LanguageOrderedTreeAndTextIndex) {
  // A secondary index over a string field of an "English (USA)" table.
  std::vector<TFieldDef> fields(1);
  fields[0].number = 1;
  fields[0].type = kFldString;
  fields[0].size = 12;
  const size_t record_size = static_cast<size_t>(AssignFieldLayout(fields));
  const TKeyLanguage english = TKeyLanguage::For(0x0409, 0);
  file_->SetKeyContext(fields, english);
  TIndexDef def = Def("BYWORD", 18, false, 0);
  file_->AddSecondaryIndex(def);
  const TKeyDescriptor& keys = file_->Keys(1);
  const std::vector<std::string> words = {"zebra",
                                          "\xE9"
                                          "clair",
                                          "Apple",
                                          "apple",
                                          "eclair",
                                          "b"};
  for (int round = 0; round < 60; ++round) {
    for (size_t i = 0; i < words.size(); ++i) {
      std::vector<uint8_t> record(record_size, 0);
      const int32_t row = round * 10 + static_cast<int32_t>(i) + 1;
      SetRecordRowId(record.data(), row);
      SetFieldHasValue(record.data(), fields[0], true);
      const std::string text = words[i] + std::to_string(round % 7);
      std::memcpy(FieldValue(record.data(), fields[0]), text.c_str(), text.size() + 1);
      std::vector<uint8_t> key(keys.KeySize());
      keys.BuildKey(record.data(), key.data());
      file_->InsertKey(1, key.data(), row);
    }
  }
  Cycle();
  TIndexCheckResult check = TIndexChecker(file_.get()).CheckIndex(1);
  EXPECT_TRUE(check.Ok()) << check.problems.front();
  EXPECT_EQ(check.keys, 360);

  // The text index keeps no counts and compresses its leaves.
  for (int row = 1; row <= 3000; ++row) {
    uint8_t key[kSysTextKeySize];
    TKeyDescriptor::BuildTextKey(1, "WORD" + std::to_string(row % 97), row, key);
    file_->InsertKey(kSysTextIndex, key, row);
  }
  Cycle();
  EXPECT_EQ(file_->KeyCount(kSysTextIndex), 3000);
  check = TIndexChecker(file_.get()).CheckFile();
  EXPECT_TRUE(check.Ok()) << check.problems.front();
  for (int row = 1; row <= 3000; row += 2) {
    uint8_t key[kSysTextKeySize];
    TKeyDescriptor::BuildTextKey(1, "WORD" + std::to_string(row % 97), row, key);
    file_->DeleteKey(kSysTextIndex, key);
  }
  EXPECT_EQ(file_->KeyCount(kSysTextIndex), 1500);
  EXPECT_TRUE(TIndexChecker(file_.get()).CheckFile().Ok());
}

TEST_F(IndexFileTest, CaseInsensitiveIndexFindsAbcWithABC) {
  std::vector<TFieldDef> fields(1);
  fields[0].number = 1;
  fields[0].type = kFldString;
  fields[0].size = 8;
  const size_t record_size = static_cast<size_t>(AssignFieldLayout(fields));
  file_->SetKeyContext(fields, TKeyLanguage::Ansi());
  TIndexDef def = Def("NOCASE", 14, false);
  def.case_insensitive = true;
  file_->AddSecondaryIndex(def);
  const TKeyDescriptor& keys = file_->Keys(1);
  auto key_of = [&](const std::string& text, int32_t row) {
    std::vector<uint8_t> record(record_size, 0);
    SetRecordRowId(record.data(), row);
    SetFieldHasValue(record.data(), fields[0], true);
    std::memcpy(FieldValue(record.data(), fields[0]), text.c_str(), text.size() + 1);
    std::vector<uint8_t> key(keys.KeySize());
    keys.BuildKey(record.data(), key.data());
    return key;
  };
  const std::vector<std::string> words = {"xyz", "abc", "Abd", "ab", "b"};
  for (size_t i = 0; i < words.size(); ++i)
    file_->InsertKey(1, key_of(words[i], static_cast<int32_t>(i + 1)).data(),
                     static_cast<int32_t>(i + 1));
  std::vector<TIndexPathStep> path;
  bool exact = false;
  // The field bytes only: the row identifier is not part of the search.
  ASSERT_TRUE(file_->Search(nullptr, 1, key_of("ABC", 99).data(), 10, &path, &exact));
  ASSERT_EQ(path.size(), 1u);
  EXPECT_TRUE(exact);
  TPage* leaf = nullptr;
  file_->GetPage(nullptr, 1, path.back().page, &leaf);
  EXPECT_EQ(leaf->Value(path.back().position), 2);  // the record of "abc"
  file_->ReleasePage(leaf);
  ASSERT_TRUE(file_->Search(nullptr, 1, key_of("AA", 99).data(), 10, &path, &exact));
  EXPECT_FALSE(exact);
  EXPECT_EQ(path.back().position, 0);  // before the first key
}

// A cursor whose change check always finds another program's change.
struct ChangedTableCursor : TRequestingCursor {
  int checks = 0;
  bool CheckChangesBeforeRead() override {
    ++checks;
    return true;
  }
};

TEST_F(IndexFileTest, PageMissRunsTheCursorsChangeCheck) {
  file_->DefinePrimaryIndex(Def("", 10));
  for (int v = 0; v < 1000; ++v) file_->InsertKey(0, Key(v, 10).data(), v + 1);
  Cycle();
  ChangedTableCursor cursor;
  std::vector<TIndexPathStep> path;
  bool exact;
  EXPECT_FALSE(file_->Search(&cursor, 0, Key(5, 10).data(), 10, &path, &exact));
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(cursor.checks, 1);
  // Cached pages need no check; with strict change detection nothing asks.
  ASSERT_TRUE(file_->Search(nullptr, 0, Key(5, 10).data(), 10, &path, &exact));
  EXPECT_TRUE(file_->Search(&cursor, 0, Key(5, 10).data(), 10, &path, &exact));
  EXPECT_EQ(cursor.checks, 1);
  file_->DiscardPages();
  owner_.strict_change_detection = true;
  EXPECT_TRUE(file_->Search(&cursor, 0, Key(5, 10).data(), 10, &path, &exact));
  EXPECT_TRUE(exact);
  EXPECT_EQ(cursor.checks, 1);
}

TEST_F(IndexFileTest, SystemIndexesCannotBeRemoved) {
  EXPECT_EQ(CodeOf([&] { file_->RemoveIndex(kSysDeletedIndex); }), FICHA_INVALIDINDEXDELETE);
  EXPECT_EQ(CodeOf([&] { file_->RemoveIndex(1); }), FICHA_INVALIDINDEXDELETE);
}

}  // namespace
}  // namespace ficha
