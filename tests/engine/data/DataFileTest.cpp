// TDataFile on disk files: creation, records, the deleted chain, row
// identifiers, encryption, write-back and change detection.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "DataTestSupport.h"
#include "common/ErrorCodes.h"
#include "engine/data/BcdField.h"
#include "engine/data/DataFile.h"
#include "engine/data/RecordLayout.h"
#include "engine/data/Scramble.h"

namespace ficha {
namespace {

using testing::CodeOf;
using testing::ReadDiskFile;

class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_.SetTableName("T");
    path_ = scratch_.File("T.DAT");
  }

  void Create(TNewTableInfo info) { testing::CreateTable(path_, owner_, std::move(info)); }

  std::unique_ptr<TDataFile> Open() {
    auto file = std::make_unique<TDataFile>(&owner_);
    file->SetName(path_);
    file->OpenFile();
    return file;
  }

  // Appends count records whose field A (offset 9) holds 100 + the row id.
  void Append(TDataFile& file, int count) {
    for (int i = 0; i < count; ++i) {
      TRecord* rec = file.AllocateRecord();
      uint8_t* d = rec->Data();
      SetRecordDeleted(d, false);
      SetRecordLink(d, rec->Number());
      int32_t row = file.TakeRowIdentifier();
      SetRecordRowId(d, row);
      d[9] = 1;
      PutI32(d + 10, 100 + row);
      rec->MarkDirty();
      file.ReleaseRecord(rec);
    }
    file.WriteBack(false, false);
  }

  std::vector<uint8_t> DiskRecord(const TDataFile& file, int32_t n) {
    std::vector<uint8_t> bytes = ReadDiskFile(path_);
    size_t at = static_cast<size_t>(file.RecordOffset(n));
    return std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + at + file.RecordSize());
  }

  testing::ScratchDir scratch_;
  TPlainTableOwner owner_;
  std::string path_;
};

TEST_F(DataFileTest, NewTableHasHeaderAndDefinitionsOnly) {
  TNewTableInfo info = testing::AutoIncAndTwoIntegers();
  info.description = "Calls";
  info.user_major = 3;
  info.user_minor = 4;
  Create(info);
  EXPECT_EQ(testing::DiskFileSize(path_), 127u + 768u * 3u);
  std::vector<uint8_t> b = ReadDiskFile(path_);
  EXPECT_EQ(GetI32(&b[0]), 1);  // written once: 0 incremented before the write
  EXPECT_EQ(GetU32(&b[4]), 512u);
  EXPECT_EQ(b[8], 5);
  EXPECT_EQ(GetI32(&b[9]), 0);   // first deleted record
  EXPECT_EQ(GetI32(&b[13]), 1);  // next record number
  EXPECT_EQ(GetI32(&b[17]), 0);
  EXPECT_EQ(GetU16(&b[21]), 19);
  EXPECT_EQ(GetU16(&b[23]), 3);
  // Write time: local days since 1899-12-30 minus 693594 (46000 is in 2025).
  EXPECT_GT(GetF64(&b[27]) + 693594.0, 46000.0);
  EXPECT_LT(GetF64(&b[27]) + 693594.0, 60000.0);
  EXPECT_EQ(b[35], 5);
  EXPECT_EQ(b[86], 0);
  EXPECT_EQ(b[87], 0);
  EXPECT_EQ(GetU16(&b[107]), 3);
  EXPECT_EQ(GetU16(&b[109]), 4);
  EXPECT_EQ(b[111], 1);
  EXPECT_EQ(GetU32(&b[116]), 33000u);
  // The definitions: autoincrement at 5, integers at 9 and 14.
  EXPECT_EQ(GetU16(&b[127 + 90]), 5);
  EXPECT_EQ(b[127 + 85], kSubAutoInc);
  EXPECT_EQ(GetU16(&b[127 + 768 + 90]), 9);
  EXPECT_EQ(GetU16(&b[127 + 2 * 768 + 90]), 14);
  EXPECT_EQ(b[127 + 2 * 768 + 88], 4);

  auto file = Open();
  EXPECT_NO_THROW(file->ValidateTable());
  EXPECT_EQ(file->Description(), "Calls");
  EXPECT_EQ(file->RecordSlotCount(), 0);
  EXPECT_EQ(file->FieldDefByName(" b ")->offset, 14);
  EXPECT_EQ(file->FieldDefByNumber(1)->name, "ID");
  EXPECT_EQ(file->FieldDefByName("C"), nullptr);
}

TEST_F(DataFileTest, RecordsReachTheDiskAndReadBack) {
  Create(testing::AutoIncAndTwoIntegers());
  {
    auto file = Open();
    Append(*file, 5);
    EXPECT_EQ(testing::DiskFileSize(path_), 127u + 768u * 3u + 19u * 5u);
    std::vector<uint8_t> rec3 = DiskRecord(*file, 3);
    EXPECT_EQ(rec3[0], 0);
    EXPECT_EQ(GetI32(&rec3[1]), 3);
    EXPECT_EQ(GetI32(&rec3[5]), 3);
    EXPECT_EQ(rec3[9], 1);
    EXPECT_EQ(GetI32(&rec3[10]), 103);
  }
  auto file = Open();
  EXPECT_NO_THROW(file->ValidateTable());
  EXPECT_EQ(file->LastRowIdentifier(), 5);
  TRecord* rec = nullptr;
  ASSERT_TRUE(file->GetRecord(nullptr, 4, 1, &rec));
  EXPECT_EQ(rec->Number(), 4);
  EXPECT_EQ(rec->PinCount(), 1);
  EXPECT_EQ(GetI32(rec->Data() + 10), 104);
  file->ReleaseRecord(rec);
  EXPECT_EQ(rec->PinCount(), 0);
}

TEST_F(DataFileTest, DeletedChainWithPrimaryIndexReusesNewestFirst) {
  Create(testing::AutoIncAndTwoIntegers());
  auto file = Open();
  Append(*file, 8);
  for (int32_t n : {3, 7}) {
    TRecord* rec = nullptr;
    ASSERT_TRUE(file->GetRecord(nullptr, n, 1, &rec));
    file->DeleteRecordSlot(rec);
    file->ReleaseRecord(rec);
  }
  file->WriteBack(false, false);
  EXPECT_EQ(file->FirstDeletedRecord(), 7);
  std::vector<uint8_t> b = ReadDiskFile(path_);
  EXPECT_EQ(GetI32(&b[9]), 7);
  std::vector<uint8_t> rec7 = DiskRecord(*file, 7);
  std::vector<uint8_t> rec3 = DiskRecord(*file, 3);
  EXPECT_EQ(rec7[0], 1);
  EXPECT_EQ(GetI32(&rec7[1]), 3);
  EXPECT_EQ(rec3[0], 1);
  EXPECT_EQ(GetI32(&rec3[1]), 0);

  TRecord* first = file->AllocateRecord();
  EXPECT_EQ(first->Number(), 7);
  EXPECT_EQ(file->FirstDeletedRecord(), 3);
  TRecord* second = file->AllocateRecord();
  EXPECT_EQ(second->Number(), 3);
  EXPECT_EQ(file->FirstDeletedRecord(), 0);
  file->ReleaseRecord(first);
  file->ReleaseRecord(second);
  EXPECT_EQ(file->NextSlotNumber(), 9);
}

TEST_F(DataFileTest, DeletedChainWithoutPrimaryIndexAlwaysAppends) {
  owner_.has_primary_index = false;
  Create(testing::AutoIncAndTwoIntegers());
  auto file = Open();
  Append(*file, 8);
  for (int32_t n : {3, 7}) {
    TRecord* rec = nullptr;
    ASSERT_TRUE(file->GetRecord(nullptr, n, 1, &rec));
    file->DeleteRecordSlot(rec);
    file->ReleaseRecord(rec);
  }
  file->WriteBack(false, false);
  EXPECT_EQ(file->FirstDeletedRecord(), 7);
  EXPECT_EQ(GetI32(&DiskRecord(*file, 7)[1]), 0);
  EXPECT_EQ(GetI32(&DiskRecord(*file, 3)[1]), 0);

  TRecord* rec = file->AllocateRecord();
  EXPECT_EQ(rec->Number(), 9);
  EXPECT_EQ(file->FirstDeletedRecord(), 0);
  file->ReleaseRecord(rec);
}

TEST_F(DataFileTest, ChainLeadingToALiveRecordIsRefused) {
  Create(testing::AutoIncAndTwoIntegers());
  {
    auto file = Open();
    Append(*file, 3);
  }
  std::vector<uint8_t> b = ReadDiskFile(path_);
  PutI32(&b[9], 2);  // head of the chain names a live record
  testing::WriteDiskFile(path_, b);
  auto file = Open();
  EXPECT_EQ(CodeOf([&] { file->AllocateRecord(); }), FICHA_FILECORRUPT);
  EXPECT_EQ(file->FirstDeletedRecord(), 2);  // nothing changed
}

TEST_F(DataFileTest, RowIdentifierWrapsAfterTheLargestValue) {
  Create(testing::AutoIncAndTwoIntegers());
  auto file = Open();
  file->AlterTableInfo("", "", 2147483646, 0, 0);
  EXPECT_EQ(file->TakeRowIdentifier(), 2147483647);
  EXPECT_EQ(file->TakeRowIdentifier(), 1);
  file->SupplyRowIdentifier(50);
  EXPECT_EQ(file->LastRowIdentifier(), 50);
  file->SupplyRowIdentifier(20);
  EXPECT_EQ(file->LastRowIdentifier(), 50);
  file->WriteBack(false, false);
  EXPECT_EQ(GetI32(&ReadDiskFile(path_)[17]), 50);
}

TEST_F(DataFileTest, BcdFieldRoundsToItsDecimals) {
  TNewTableInfo info;
  info.fields = {MakeFieldDef(1, "V", kFldBcd, 0, 0, 2)};
  Create(info);
  {
    auto file = Open();
    TRecord* rec = file->AllocateRecord();
    const TFieldDef& def = *file->FieldDefAt(0);
    SetFieldHasValue(rec->Data(), def, true);
    ASSERT_TRUE(PutBcdValue(FieldValue(rec->Data(), def), 123456, def.decimals));
    rec->MarkDirty();
    file->ReleaseRecord(rec);
    file->WriteBack(false, false);
  }
  auto file = Open();
  TRecord* rec = nullptr;
  ASSERT_TRUE(file->GetRecord(nullptr, 1, 1, &rec));
  int64_t scaled = 0;
  ASSERT_TRUE(GetBcdValue(FieldValue(rec->Data(), *file->FieldDefAt(0)), &scaled));
  EXPECT_EQ(scaled, 123500);
  file->ReleaseRecord(rec);
}

TEST_F(DataFileTest, EncryptedTableReadsBackWhileDiskBytesDiffer) {
  TNewTableInfo info = testing::AutoIncAndTwoIntegers();
  info.encrypted = true;
  info.password = "segredo";
  info.description = "Agenda";
  Create(info);
  std::vector<uint8_t> image;
  {
    auto file = Open();
    Append(*file, 2);
    TRecord* rec = nullptr;
    ASSERT_TRUE(file->GetRecord(nullptr, 2, 1, &rec));
    image.assign(rec->Data(), rec->Data() + rec->Size());
    file->ReleaseRecord(rec);
    std::vector<uint8_t> disk = DiskRecord(*file, 2);
    EXPECT_NE(disk, image);
    ScrambleBlock(disk.data(), disk.size());
    EXPECT_EQ(disk, image);
  }
  std::vector<uint8_t> b = ReadDiskFile(path_);
  EXPECT_EQ(b[86], 1);
  EXPECT_EQ(b[87], 7);
  EXPECT_NE(std::memcmp(&b[88], "segredo", 7), 0);
  EXPECT_EQ(b[35], 6);
  EXPECT_NE(std::memcmp(&b[36], "Agenda", 6), 0);
  EXPECT_NE(b[127 + 2], 2);  // the definitions are scrambled too ("ID" is 2 long)

  auto file = Open();
  EXPECT_NO_THROW(file->ValidateTable());
  EXPECT_EQ(file->Password(), "segredo");
  EXPECT_EQ(file->Description(), "Agenda");
  EXPECT_EQ(file->FieldDefAt(0)->name, "ID");
  TRecord* rec = nullptr;
  ASSERT_TRUE(file->GetRecord(nullptr, 2, kReadAheadBackward, &rec));
  EXPECT_EQ(std::vector<uint8_t>(rec->Data(), rec->Data() + rec->Size()), image);
  file->ReleaseRecord(rec);
}

TEST_F(DataFileTest, AlterTableInfoKeepsPasswordEmptyForPlainTables) {
  Create(testing::AutoIncAndTwoIntegers());
  auto file = Open();
  file->AlterTableInfo("x", std::string(60, 'd'), -1, 7, 8);
  EXPECT_EQ(file->Password(), "");
  EXPECT_EQ(file->Description(), std::string(50, 'd'));
  EXPECT_EQ(file->LastRowIdentifier(), 0);
  EXPECT_EQ(file->UserMajorVersion(), 7);
  EXPECT_TRUE(file->IsHeaderChanged());
}

TEST_F(DataFileTest, EmptyDataFileTruncatesAndResetsCounters) {
  Create(testing::AutoIncAndTwoIntegers());
  auto file = Open();
  Append(*file, 4);
  TRecord* rec = nullptr;
  ASSERT_TRUE(file->GetRecord(nullptr, 2, 1, &rec));
  file->DeleteRecordSlot(rec);
  file->ReleaseRecord(rec);
  file->EmptyDataFile();
  EXPECT_EQ(testing::DiskFileSize(path_), 127u + 768u * 3u);
  file->WriteBack(false, false);
  std::vector<uint8_t> b = ReadDiskFile(path_);
  EXPECT_EQ(GetI32(&b[0]), 1);
  EXPECT_EQ(GetI32(&b[9]), 0);
  EXPECT_EQ(GetI32(&b[13]), 1);
  EXPECT_EQ(GetI32(&b[17]), 0);
  EXPECT_EQ(file->CachedCount(), 0u);
  EXPECT_NO_THROW(file->ValidateTable());
}

TEST_F(DataFileTest, FieldDefinitionChangesAreWrittenOnce) {
  Create(testing::AutoIncAndTwoIntegers());
  {
    auto file = Open();
    TFieldDefChange change;
    change.name = "VALOR";
    change.required = true;
    change.max_value = "99";
    EXPECT_TRUE(file->ChangeFieldDef(2, change));
    EXPECT_FALSE(file->ChangeFieldDef(9, change));
    EXPECT_TRUE(file->FieldDefsChanged());
    EXPECT_TRUE(file->WriteBack(false, false));
    EXPECT_FALSE(file->WriteFieldDefs());
  }
  auto file = Open();
  const TFieldDef* def = file->FieldDefByName("valor");
  ASSERT_NE(def, nullptr);
  EXPECT_TRUE(def->required);
  EXPECT_EQ(def->max_value, "99");
}

TEST_F(DataFileTest, TransactionCountsHeaderChangesWithoutWriting) {
  Create(testing::AutoIncAndTwoIntegers());
  auto file = Open();
  std::vector<uint8_t> before = ReadDiskFile(path_);
  owner_.in_transaction = true;
  Append(*file, 2);  // its write-back only counts
  EXPECT_EQ(ReadDiskFile(path_), before);
  EXPECT_TRUE(owner_.changed_in_transaction);
  int32_t counted = file->ChangeCount();
  EXPECT_GT(counted, GetI32(&before[0]));
  owner_.in_transaction = false;
  EXPECT_TRUE(file->WriteBack(false, false));
  EXPECT_EQ(GetI32(&ReadDiskFile(path_)[0]), counted + 1);
  EXPECT_EQ(testing::DiskFileSize(path_), 127u + 768u * 3u + 2u * 19u);
}

class ChangeCheckingCursor : public TRequestingCursor {
 public:
  explicit ChangeCheckingCursor(TDataFile* file) : file_(file) {}
  bool CheckChangesBeforeRead() override {
    ++calls;
    if (file_->HeaderChanged()) {
      file_->DiscardRecords();
      return true;
    }
    return false;
  }
  int calls = 0;

 private:
  TDataFile* file_;
};

TEST_F(DataFileTest, ForeignChangeIsNoticedBeforeADiskRead) {
  Create(testing::AutoIncAndTwoIntegers());
  auto writer = Open();
  Append(*writer, 3);
  auto reader = Open();
  ChangeCheckingCursor cursor(reader.get());
  TRecord* rec = nullptr;
  ASSERT_TRUE(reader->GetRecord(&cursor, 1, 1, &rec));
  reader->ReleaseRecord(rec);
  EXPECT_EQ(cursor.calls, 1);

  Append(*writer, 1);  // another writer's header write
  EXPECT_FALSE(reader->GetRecord(&cursor, 2, 1, &rec));
  EXPECT_EQ(rec, nullptr);
  EXPECT_EQ(reader->RecordSlotCount(), 4);
  ASSERT_TRUE(reader->GetRecord(&cursor, 4, 1, &rec));  // starts again
  EXPECT_EQ(GetI32(rec->Data() + 10), 104);
  reader->ReleaseRecord(rec);

  // With strict change detection the check belongs to the navigation.
  owner_.strict_change_detection = true;
  int calls = cursor.calls;
  ASSERT_TRUE(reader->GetRecord(&cursor, 3, 1, &rec));
  reader->ReleaseRecord(rec);
  EXPECT_EQ(cursor.calls, calls);
}

TEST_F(DataFileTest, HeaderChangedComparesTheChangeCount) {
  Create(testing::AutoIncAndTwoIntegers());
  auto a = Open();
  auto b = Open();
  EXPECT_FALSE(b->HeaderChanged());
  a->AlterTableInfo("", "new", -1, 1, 0);
  a->WriteBack(false, false);
  EXPECT_TRUE(b->HeaderChanged());
  EXPECT_EQ(b->Description(), "new");
  EXPECT_FALSE(b->HeaderChanged());
}

TEST_F(DataFileTest, ChangedHeaderWithAnotherRecordLayoutIsCorrupt) {
  Create(testing::AutoIncAndTwoIntegers());
  auto file = Open();
  for (auto damage : {std::function<void(std::vector<uint8_t>&)>(
                          [](std::vector<uint8_t>& b) { PutU16(&b[21], 200); }),
                      std::function<void(std::vector<uint8_t>&)>(
                          [](std::vector<uint8_t>& b) { PutU16(&b[23], 1); })}) {
    std::vector<uint8_t> b = ReadDiskFile(path_);
    PutI32(&b[0], GetI32(&b[0]) + 1);  // looks like another writer's change
    damage(b);
    testing::WriteDiskFile(path_, b);
    EXPECT_EQ(CodeOf([&] { file->HeaderChanged(); }), FICHA_HEADERCORRUPT);
    EXPECT_EQ(file->RecordSize(), 19);
    EXPECT_EQ(file->FieldCount(), 3);
  }
}

TEST_F(DataFileTest, RecordNumberZeroOrBeyondTheEndIsRefused) {
  Create(testing::AutoIncAndTwoIntegers());
  auto file = Open();
  Append(*file, 2);
  TRecord* rec = nullptr;
  EXPECT_EQ(CodeOf([&] { file->GetRecord(nullptr, 0, 1, &rec); }), FICHA_FILECORRUPT);
  EXPECT_EQ(CodeOf([&] { file->GetRecord(nullptr, 5, 1, &rec); }), FICHA_FILECORRUPT);
  EXPECT_EQ(CodeOf([&] { file->GetRecord(nullptr, -1, 1, &rec); }), FICHA_FILECORRUPT);
}

TEST_F(DataFileTest, SortHooksRenumberAndTruncate) {
  Create(testing::AutoIncAndTwoIntegers());
  auto file = Open();
  Append(*file, 4);
  for (int32_t n = 1; n <= 4; ++n) {
    TRecord* rec = nullptr;
    ASSERT_TRUE(file->GetRecord(nullptr, n, 1, &rec));
    file->ReleaseRecord(rec);
  }
  ASSERT_TRUE(file->AllRecordsCached());
  std::vector<TRecord*> records = file->CachedRecords();
  std::vector<TRecord*> order = {records[3], records[1], records[0]};  // drop record 3
  file->RenumberRecords(order);
  file->WriteBack(false, false);
  EXPECT_EQ(file->RecordSlotCount(), 3);
  EXPECT_EQ(testing::DiskFileSize(path_), 127u + 768u * 3u + 3u * 19u);
  std::vector<uint8_t> first = DiskRecord(*file, 1);
  EXPECT_EQ(GetI32(&first[1]), 1);
  EXPECT_EQ(GetI32(&first[10]), 104);
  EXPECT_EQ(GetI32(&DiskRecord(*file, 3)[10]), 101);
  EXPECT_NO_THROW(file->ValidateTable());
}

TEST(InMemoryDataFileTest, WorksOnAnInMemoryFile) {
  TPlainTableOwner owner("M");
  {
    TDataFile file(&owner);
    file.SetInMemory(true);
    file.SetName("DATATEST_MEM.DAT");
    file.InitializeDataFile(testing::AutoIncAndTwoIntegers());
    TRecord* rec = file.AllocateRecord();
    SetRecordRowId(rec->Data(), file.TakeRowIdentifier());
    PutI32(rec->Data() + 10, 55);
    file.ReleaseRecord(rec);
    file.WriteBack(false, false);
  }
  TDataFile file(&owner);
  file.SetInMemory(true);
  file.SetName("DATATEST_MEM.DAT");
  file.OpenFile();
  EXPECT_NO_THROW(file.ValidateTable());
  EXPECT_EQ(file.GetFileSize(), 127 + 3 * 768 + 19);
  TRecord* rec = nullptr;
  ASSERT_TRUE(file.GetRecord(nullptr, 1, kReadAheadForward, &rec));
  EXPECT_EQ(GetI32(rec->Data() + 10), 55);
  file.ReleaseRecord(rec);
}

}  // namespace
}  // namespace ficha
