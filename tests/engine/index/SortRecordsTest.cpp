#include "engine/index/SortRecords.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "engine/data/FieldTypes.h"
#include "engine/data/PlainTableOwner.h"
#include "engine/data/RecordLayout.h"

namespace ficha {
namespace {

class SortRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    data_.SetInMemory(true);
    data_.SetName("sort_test_" + std::to_string(++counter) + ".DAT");
    TNewTableInfo info;
    TFieldDef name, number;
    name.number = 1;
    name.name = "NAME";
    name.type = kFldString;
    name.size = 10;
    number.number = 2;
    number.name = "N";
    number.type = kFldInteger;
    info.fields = {name, number};
    data_.InitializeDataFile(info);
  }
  void TearDown() override {
    data_.CloseFile();
    try {
      data_.RemoveFile();
    } catch (const std::exception&) {
    }
  }
  void Add(const std::string& name, int32_t n) {
    TRecord* r = data_.AllocateRecord();
    const auto& f = data_.FieldDefs();
    SetRecordRowId(r->Data(), data_.TakeRowIdentifier());
    if (!name.empty()) {
      SetFieldHasValue(r->Data(), f[0], true);
      std::memcpy(FieldValue(r->Data(), f[0]), name.c_str(), name.size() + 1);
    }
    SetFieldHasValue(r->Data(), f[1], true);
    PutI32(FieldValue(r->Data(), f[1]), n);
    r->MarkDirty();
    data_.ReleaseRecord(r);
  }
  // "name/n" of every record in record-number order.
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    const auto& f = data_.FieldDefs();
    for (TRecord* r : data_.CachedRecords()) {
      EXPECT_EQ(RecordLink(r->Data()), r->Number());
      std::string name = FieldIsNull(r->Data(), f[0])
                             ? "null"
                             : reinterpret_cast<const char*>(FieldValue(r->Data(), f[0]));
      rows.push_back(name + "/" + std::to_string(GetI32(FieldValue(r->Data(), f[1]))));
    }
    return rows;
  }

  TPlainTableOwner owner_{"RESULT"};
  TDataFile data_{&owner_};
};

TEST_F(SortRecordsTest, OrdersByFieldsWithDirections) {
  Add("b", 2);
  Add("a", 9);
  Add("", 5);
  Add("b", 1);
  Add("a", 3);
  ASSERT_EQ(SortRecords(data_, {{1, true}, {2, false}}, false, TKeyLanguage::Ansi()), 0);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"b/1", "b/2", "a/3", "a/9", "null/5"}));
  ASSERT_EQ(SortRecords(data_, {{2, false}}, false, TKeyLanguage::Ansi(), {}, 2), 0);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"b/1", "b/2"}));
}

TEST_F(SortRecordsTest, EqualKeysGoThroughTheCallback) {
  Add("B", 1);
  Add("a", 2);
  Add("b", 3);
  Add("A", 4);
  Add("c", 5);
  // Case-insensitive DISTINCT on the name, summing N into the kept row.
  const auto& f = data_.FieldDefs();
  auto merge = [&f](uint8_t* kept, const uint8_t* other) {
    PutI32(FieldValue(kept, f[1]),
           GetI32(FieldValue(kept, f[1])) + GetI32(FieldValue(other, f[1])));
    return true;
  };
  ASSERT_EQ(SortRecords(data_, {{1, false}}, true, TKeyLanguage::Ansi(), merge), 0);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a/6", "B/4", "c/5"}));
  EXPECT_EQ(data_.NextSlotNumber(), 4);
}

TEST_F(SortRecordsTest, RefusesBadFields) {
  Add("x", 1);
  EXPECT_EQ(SortRecords(data_, {{7, false}}, false, TKeyLanguage::Ansi()), -10023);
}

}  // namespace
}  // namespace ficha
