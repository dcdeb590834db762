// Limits and checks of a new table's definition, and the full-table limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DataTestSupport.h"
#include "common/ErrorCodes.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldDefCheck.h"
#include "engine/data/RecordLayout.h"

namespace ficha {
namespace {

using testing::CodeOf;

TEST(NewFieldDefsTest, RefusedDefinitionsNameTheField) {
  struct Case {
    const char* what;
    TFieldDef def;  // the second field, after FIRST (number 1)
    int code;
  } cases[] = {
      {"string of 251 characters", MakeFieldDef(2, "S", kFldString, 251), FICHA_INVALIDFLDTYPE},
      {"string of 0 characters", MakeFieldDef(2, "S", kFldString, 0), FICHA_INVALIDFLDTYPE},
      {"bytes of 251", MakeFieldDef(2, "S", kFldBytes, 251), FICHA_INVALIDFLDTYPE},
      {"type 0", MakeFieldDef(2, "S", 0), FICHA_INVALIDFLDTYPE},
      {"type 17", MakeFieldDef(2, "S", 17), FICHA_INVALIDFLDTYPE},
      {"number repeating another", MakeFieldDef(1, "OTHER", kFldInteger), FICHA_INVALIDFLDTYPE},
      {"name of 31 characters", MakeFieldDef(2, std::string(31, 'N'), kFldInteger),
       FICHA_INVALIDFIELDNAME},
      {"blank name", MakeFieldDef(2, "   ", kFldInteger), FICHA_INVALIDFIELDNAME},
      {"name starting with a digit", MakeFieldDef(2, "1A", kFldInteger), FICHA_INVALIDFIELDNAME},
      {"name repeating another", MakeFieldDef(2, " first ", kFldInteger), FICHA_INVALIDFIELDNAME},
  };
  for (const Case& c : cases) {
    std::vector<TFieldDef> defs = {MakeFieldDef(1, "FIRST", kFldInteger), c.def};
    EXPECT_EQ(CodeOf([&] { CheckNewFieldDefs("T", defs); }), c.code) << c.what;
    EXPECT_EQ(LastEngineErrorContext().table, "T") << c.what;
    EXPECT_EQ(LastEngineErrorContext().field, defs[1].name) << c.what;
  }
  // A name of 30 characters is fine.
  std::vector<TFieldDef> defs = {MakeFieldDef(1, std::string(30, 'N'), kFldInteger)};
  EXPECT_EQ(CodeOf([&] { CheckNewFieldDefs("T", defs); }), 0);
}

TEST(NewFieldDefsTest, InvalidLiteralsAre10006) {
  std::vector<std::vector<TFieldDef>> tables;
  TFieldDef date = MakeFieldDef(1, "D", kFldDate);
  date.default_value = "yesterday";
  TFieldDef integer = MakeFieldDef(1, "I", kFldInteger);
  integer.min_value = "1.5";
  TFieldDef boolean = MakeFieldDef(1, "B", kFldBoolean);
  boolean.max_value = "maybe";
  for (const TFieldDef& def : {date, integer, boolean}) {
    std::vector<TFieldDef> defs = {def};
    EXPECT_EQ(CodeOf([&] { CheckNewFieldDefs("T", defs); }), FICHA_INVALIDVCHKSTRUCT) << def.name;
  }
  TFieldDef today = MakeFieldDef(1, "D", kFldDate);
  today.default_value = "current_date";
  TFieldDef text = MakeFieldDef(2, "S", kFldString, 5);
  text.default_value = "anything at all";
  std::vector<TFieldDef> defs = {today, text};
  EXPECT_EQ(CodeOf([&] { CheckNewFieldDefs("T", defs); }), 0);
}

TEST(NewFieldDefsTest, AcceptedDefinitionsAreCompleted) {
  std::vector<TFieldDef> defs = {MakeFieldDef(1, "  Nome ", kFldString, 20),
                                 MakeFieldDef(2, "ID", kFldInteger, 9, kSubAutoInc, 3),
                                 MakeFieldDef(3, "_X", kFldBcd, 0, 0, 2),
                                 MakeFieldDef(4,
                                              "\xC7"
                                              "A",
                                              kFldWord)};
  CheckNewFieldDefs("T", defs);
  EXPECT_EQ(defs[0].name, "Nome");
  EXPECT_EQ(defs[1].size, 0);
  EXPECT_EQ(defs[1].decimals, 0);
  EXPECT_EQ(defs[1].offset, 5);
  EXPECT_EQ(defs[2].decimals, 2);
  EXPECT_EQ(defs[2].phys_decimals, 2);
  EXPECT_EQ(defs[0].offset, 9);
  EXPECT_EQ(defs[2].offset, 9 + 22);
  EXPECT_EQ(defs[3].offset, 9 + 22 + 35);
}

TEST(NewTableLimitsTest, TableWideLimits) {
  struct Case {
    const char* what;
    bool encrypted;
    const char* password;
    uint16_t language;
    size_t fields;
    size_t indexes;
    uint16_t block;
    int code;
  } cases[] = {
      {"fine", false, "", 0, 3, 2, 512, 0},
      {"encrypted, fine", true, "segredo", 0, 3, 2, 512, 0},
      {"encrypted without password", true, "  ", 0, 3, 2, 512, FICHA_INVALIDPASSWORD},
      {"password of 16", true, "0123456789ABCDEF", 0, 3, 2, 512, FICHA_INVALIDPASSWORD},
      {"language not installed", false, "", 0x7FFF, 3, 2, 512, FICHA_CANNOTLOADLDDRV},
      {"1025 fields", false, "", 0, 1025, 2, 512, FICHA_FLDLIMIT},
      {"33 indexes", false, "", 0, 3, 33, 512, FICHA_INDEXLIMIT},
      {"block of 63", false, "", 0, 3, 2, 63, FICHA_BLOBLIMIT},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodeOf([&] {
                CheckNewTableLimits("T", c.encrypted, c.password, c.language, 0, c.fields,
                                    c.indexes, c.block);
              }),
              c.code)
        << c.what;
  }
}

class InitializeTest : public ::testing::Test {
 protected:
  void SetUp() override { owner_.SetTableName("T"); }
  int Initialize(const TNewTableInfo& info) {
    return CodeOf([&] {
      TDataFile file(&owner_);
      file.SetName(scratch_.File("T.DAT"));
      file.InitializeDataFile(info);
    });
  }
  testing::ScratchDir scratch_;
  TPlainTableOwner owner_;
};

TEST_F(InitializeTest, RecordSizeLimit) {
  TNewTableInfo info;
  // 9 + 260 x 252 = 65,529, and a bytes field of 5 (6 bytes) reaches 65,535:
  // the largest size the header's 16-bit field can hold.
  for (uint16_t i = 1; i <= 260; ++i) {
    info.fields.push_back(MakeFieldDef(i, "F" + std::to_string(i), kFldString, 250));
  }
  info.fields.push_back(MakeFieldDef(261, "G", kFldBytes, 5));
  EXPECT_EQ(Initialize(info), 0);
  info.fields.back().size = 6;
  EXPECT_EQ(Initialize(info), FICHA_RECTOOBIG);
}

TEST_F(InitializeTest, At129thBlobField) {
  TNewTableInfo info;
  for (uint16_t i = 1; i <= 128; ++i)
    info.fields.push_back(MakeFieldDef(i, "B" + std::to_string(i), kFldBlob));
  EXPECT_EQ(Initialize(info), 0);
  info.fields.push_back(MakeFieldDef(129, "B129", kFldBlob, 0, kSubMemo));
  EXPECT_EQ(Initialize(info), FICHA_BLOBLIMIT);
}

TEST_F(InitializeTest, BlobFieldsAreCountedInTheHeader) {
  TNewTableInfo info;
  info.fields = {MakeFieldDef(1, "M", kFldBlob, 0, kSubMemo),
                 MakeFieldDef(2, "G", kFldBlob, 0, kSubGraphic), MakeFieldDef(3, "I", kFldInteger)};
  info.blob_block_size = 1024;
  testing::CreateTable(scratch_.File("T.DAT"), owner_, info);
  std::vector<uint8_t> b = testing::ReadDiskFile(scratch_.File("T.DAT"));
  EXPECT_EQ(GetI16(&b[25]), 2);
  EXPECT_EQ(GetU32(&b[4]), 1024u);
  EXPECT_EQ(GetU16(&b[21]), 9 + 9 + 9 + 5);
}

// The table is full beyond 200,000,000 records or 4,000,000,000 bytes. The
// header is set up to stand just below each limit; nothing is written.
TEST_F(InitializeTest, FullTableLimits) {
  std::string path = scratch_.File("T.DAT");
  struct Case {
    uint8_t type;
    uint8_t size;
    int32_t next;
    int code;
  } cases[] = {
      {kFldInteger, 0, 200000000, 0},  // record size 14: far below the bytes
      {kFldInteger, 0, 200000001, FICHA_TABLEFULL},
      {kFldBytes, 250, 15384611, 0},  // 895 + n x 260 <= 4,000,000,000
      {kFldBytes, 250, 15384612, FICHA_TABLEFULL},
  };
  for (const Case& c : cases) {
    TNewTableInfo info;
    info.fields = {MakeFieldDef(1, "F", c.type, c.size)};
    testing::CreateTable(path, owner_, info);
    std::vector<uint8_t> b = testing::ReadDiskFile(path);
    PutI32(&b[13], c.next);
    testing::WriteDiskFile(path, b);
    TDataFile file(&owner_);
    file.SetName(path);
    file.OpenFile();
    TRecord* rec = nullptr;
    EXPECT_EQ(CodeOf([&] { file.GetRecord(nullptr, c.next, 1, &rec); }), c.code) << c.next;
    if (rec != nullptr) file.ReleaseRecord(rec);
    file.CloseFile();  // discards the appended slot unwritten
  }
}

}  // namespace
}  // namespace ficha
