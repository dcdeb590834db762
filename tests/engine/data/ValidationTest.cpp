// Damaged data files: every damage gives the engine error named for it, and
// nothing reads outside the file or the record.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "DataTestSupport.h"
#include "common/ErrorCodes.h"
#include "engine/data/DataFile.h"
#include "engine/data/RecordLayout.h"

namespace ficha {
namespace {

using testing::CodeOf;
using testing::ReadDiskFile;
using testing::WriteDiskFile;

class ValidationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_.SetTableName("T");
    path_ = scratch_.File("T.DAT");
    TNewTableInfo info = testing::AutoIncAndTwoIntegers();
    testing::CreateTable(path_, owner_, info);
    TDataFile file(&owner_);
    file.SetName(path_);
    file.OpenFile();
    for (int i = 0; i < 3; ++i) {
      TRecord* rec = file.AllocateRecord();
      SetRecordRowId(rec->Data(), file.TakeRowIdentifier());
      file.ReleaseRecord(rec);
    }
    file.WriteBack(false, false);
    good_ = ReadDiskFile(path_);
  }

  // Open and validate the file as a cursor's first open would.
  int OpenAndValidate() {
    return CodeOf([&] {
      TDataFile file(&owner_);
      file.SetName(path_);
      file.OpenFile();
      file.ValidateTable();
    });
  }

  testing::ScratchDir scratch_;
  TPlainTableOwner owner_;
  std::string path_;
  std::vector<uint8_t> good_;
};

TEST_F(ValidationTest, IntactFileValidates) { EXPECT_EQ(OpenAndValidate(), 0); }

TEST_F(ValidationTest, DamagedHeadersAndDefinitions) {
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    int code;
  } cases[] = {
      {"data length not a multiple of the record size",
       [](std::vector<uint8_t>& b) {
         b.insert(b.end(), {1, 2, 3, 4, 5});
       },
       FICHA_HEADERCORRUPT},
      {"wrong version", [](std::vector<uint8_t>& b) { b[8] = 4; }, FICHA_OLDVERSION},
      {"more than 1024 fields", [](std::vector<uint8_t>& b) { PutU16(&b[23], 1025); },
       FICHA_HEADERCORRUPT},
      {"record size below the prefix", [](std::vector<uint8_t>& b) { PutU16(&b[21], 0); },
       FICHA_HEADERCORRUPT},
      {"record size that disagrees", [](std::vector<uint8_t>& b) { PutU16(&b[21], 20); },
       FICHA_HEADERCORRUPT},
      {"next record number beyond the data", [](std::vector<uint8_t>& b) { PutI32(&b[13], 9); },
       FICHA_HEADERCORRUPT},
      {"first deleted beyond the data", [](std::vector<uint8_t>& b) { PutI32(&b[9], 4); },
       FICHA_HEADERCORRUPT},
      {"negative first deleted", [](std::vector<uint8_t>& b) { PutI32(&b[9], -1); },
       FICHA_HEADERCORRUPT},
      {"blob field count that disagrees", [](std::vector<uint8_t>& b) { PutI16(&b[25], 1); },
       FICHA_HEADERCORRUPT},
      {"language not installed", [](std::vector<uint8_t>& b) { PutU16(&b[103], 0x7FFF); },
       FICHA_CANNOTLOADLDDRV},
      {"field type 0", [](std::vector<uint8_t>& b) { b[127 + 768 + 84] = 0; }, FICHA_HEADERCORRUPT},
      {"unknown field type", [](std::vector<uint8_t>& b) { b[127 + 768 + 84] = 17; },
       FICHA_HEADERCORRUPT},
      {"field number out of place", [](std::vector<uint8_t>& b) { PutU16(&b[127 + 768], 3); },
       FICHA_HEADERCORRUPT},
      {"empty field name", [](std::vector<uint8_t>& b) { b[127 + 768 + 2] = 0; },
       FICHA_HEADERCORRUPT},
      {"name starting with a digit", [](std::vector<uint8_t>& b) { b[127 + 768 + 3] = '1'; },
       FICHA_HEADERCORRUPT},
      {"duplicate name", [](std::vector<uint8_t>& b) { b[127 + 2 * 768 + 3] = 'a'; },
       FICHA_HEADERCORRUPT},
      {"autoincrement not at 5", [](std::vector<uint8_t>& b) { PutU16(&b[127 + 90], 9); },
       FICHA_HEADERCORRUPT},
      {"offset out of sequence", [](std::vector<uint8_t>& b) { PutU16(&b[127 + 768 + 90], 10); },
       FICHA_HEADERCORRUPT},
      {"declared size on an integer", [](std::vector<uint8_t>& b) { b[127 + 768 + 86] = 4; },
       FICHA_HEADERCORRUPT},
      {"decimals on an integer", [](std::vector<uint8_t>& b) { b[127 + 768 + 87] = 2; },
       FICHA_HEADERCORRUPT},
      {"default that is no integer",
       [](std::vector<uint8_t>& b) {
         b[127 + 768 + 196] = 3;
         b[127 + 768 + 197] = 'a';
         b[127 + 768 + 198] = 'b';
         b[127 + 768 + 199] = 'c';
       },
       FICHA_HEADERCORRUPT},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good_;
    c.damage(bytes);
    WriteDiskFile(path_, bytes);
    EXPECT_EQ(OpenAndValidate(), c.code) << c.what;
  }
}

TEST_F(ValidationTest, StoredPhysicalSizesAreDerivedNotTrusted) {
  // Field A is an integer: 4 value bytes whatever its definition says, so
  // that no reader of the value or its key runs past the field.
  std::vector<uint8_t> bytes = good_;
  bytes[127 + 768 + 88] = 200;
  bytes[127 + 768 + 89] = 9;
  WriteDiskFile(path_, bytes);
  EXPECT_EQ(OpenAndValidate(), 0);
  TDataFile file(&owner_);
  file.SetName(path_);
  file.OpenFile();
  EXPECT_EQ(file.FieldDefAt(1)->phys_size, 4);
  EXPECT_EQ(file.FieldDefAt(1)->phys_decimals, 0);
  EXPECT_EQ(file.FieldDefAt(0)->phys_size, 4);  // the autoincrement
}

TEST_F(ValidationTest, TruncatedFilesFailWithReadErrors) {
  // Cut inside the header, inside the definitions, inside the records.
  for (size_t length :
       {size_t{0}, size_t{50}, size_t{126}, size_t{127 + 768}, size_t{127 + 3 * 768 + 19}}) {
    std::vector<uint8_t> bytes(good_.begin(), good_.begin() + static_cast<long>(length));
    WriteDiskFile(path_, bytes);
    int code = OpenAndValidate();
    if (length < 127 + 3 * 768) {
      EXPECT_EQ(code, FICHA_READERR) << length;
    } else {
      EXPECT_EQ(code, FICHA_HEADERCORRUPT) << length;  // slots disagree with the header
    }
  }
}

TEST_F(ValidationTest, RecordsMissingFromTheFileAreAReadErrorNotGarbage) {
  // A header that claims more records than the file holds, used without
  // validation: the missing record must not be invented.
  std::vector<uint8_t> bytes = good_;
  PutI32(&bytes[13], 6);
  WriteDiskFile(path_, bytes);
  TDataFile file(&owner_);
  file.SetName(path_);
  file.OpenFile();
  TRecord* rec = nullptr;
  EXPECT_EQ(CodeOf([&] { file.GetRecord(nullptr, 5, 1, &rec); }), FICHA_READERR);
  EXPECT_EQ(CodeOf([&] { file.GetRecord(nullptr, 2, kReadAheadForward, &rec); }), FICHA_READERR);
  ASSERT_TRUE(file.GetRecord(nullptr, 3, 1, &rec));  // the ones that are there still read
  file.ReleaseRecord(rec);
}

TEST_F(ValidationTest, GarbageHeadersNeverCrash) {
  uint32_t seed = 12345;
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> bytes = good_;
    for (size_t i = 0; i < 127; ++i) {
      seed = seed * 1103515245u + 12345u;
      if ((seed >> 16) % 4 == 0) bytes[i] = static_cast<uint8_t>(seed >> 24);
    }
    bytes[8] = 5;
    WriteDiskFile(path_, bytes);
    int code = OpenAndValidate();
    if (code != 0) {
      EXPECT_TRUE(code == FICHA_HEADERCORRUPT || code == FICHA_READERR ||
                  code == FICHA_CANNOTLOADLDDRV)
          << code;
    }
  }
}

TEST_F(ValidationTest, GarbageDefinitionsNeverCrash) {
  // Damaged definitions either fail validation with 8961 or describe fields
  // that lie inside the record; reading every value then stays in bounds.
  uint32_t seed = 777;
  int valid_rounds = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes = good_;
    for (size_t i = 127; i < 127 + 3 * 768; ++i) {
      seed = seed * 1103515245u + 12345u;
      if ((seed >> 16) % 512 == 0) bytes[i] = static_cast<uint8_t>(seed >> 24);
    }
    WriteDiskFile(path_, bytes);
    int code = CodeOf([&] {
      TDataFile file(&owner_);
      file.SetName(path_);
      file.OpenFile();
      file.ValidateTable();
      TRecord* rec = nullptr;
      ASSERT_TRUE(file.GetRecord(nullptr, 3, kReadAheadBackward, &rec));
      for (const TFieldDef& def : file.FieldDefs()) {
        const uint8_t* value = FieldValue(rec->Data(), def);
        if (value == nullptr) continue;
        ASSERT_LE(value + def.phys_size, rec->Data() + file.RecordSize()) << def.name;
      }
      file.ReleaseRecord(rec);
    });
    EXPECT_TRUE(code == 0 || code == FICHA_HEADERCORRUPT) << code;
    if (code == 0) ++valid_rounds;
  }
  EXPECT_GT(valid_rounds, 0);  // some damage is harmless and reaches the reads
}

TEST_F(ValidationTest, FailedOpenLeavesTheFileClosed) {
  std::vector<uint8_t> bytes = good_;
  bytes[8] = 3;
  WriteDiskFile(path_, bytes);
  TDataFile file(&owner_);
  file.SetName(path_);
  EXPECT_EQ(CodeOf([&] { file.OpenFile(); }), FICHA_OLDVERSION);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(LastEngineErrorContext().table, "T");
}

TEST_F(ValidationTest, MissingFileIs11010) {
  TDataFile file(&owner_);
  file.SetName(scratch_.File("NONE.DAT"));
  EXPECT_EQ(CodeOf([&] { file.OpenFile(); }), FICHA_OSENOENT);
}

}  // namespace
}  // namespace ficha
