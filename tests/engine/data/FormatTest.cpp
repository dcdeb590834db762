// Byte-level checks of the data file's building blocks: header, field
// definition, record layout, scrambling, row identifiers and BCD values.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DataTestSupport.h"
#include "engine/data/BcdField.h"
#include "engine/data/FieldDef.h"
#include "engine/data/RecordLayout.h"
#include "engine/data/RowIdentifier.h"
#include "engine/data/Scramble.h"
#include "engine/data/TableHeader.h"

namespace ficha {
namespace {

TEST(TableHeaderFormat, FieldsSitAtTheirOffsets) {
  TTableHeader h;
  h.change_count = 0x01020304;
  h.blob_block_size_raw = 1024;
  h.version = 5;
  h.first_deleted = 7;
  h.next_record = 11;
  h.last_row_id = -2;
  h.record_size = 19;
  h.field_count = 3;
  h.blob_field_count = 1;
  h.last_write_time = 1.5;
  h.description = "Desc";
  h.encrypted = true;
  h.password = "pw";
  h.language = 0x0416;
  h.sort = 1;
  h.user_major = 2;
  h.user_minor = 3;
  h.changed_flag = 1;
  h.last_blob_revision = 99;
  h.writer_version = 33000;
  uint8_t b[kTableHeaderSize];
  EncodeTableHeader(h, b);
  EXPECT_EQ(GetI32(b + 0), 0x01020304);
  EXPECT_EQ(b[0], 0x04);  // little-endian
  EXPECT_EQ(GetU32(b + 4), 1024u);
  EXPECT_EQ(b[8], 5);
  EXPECT_EQ(GetI32(b + 9), 7);
  EXPECT_EQ(GetI32(b + 13), 11);
  EXPECT_EQ(GetI32(b + 17), -2);
  EXPECT_EQ(GetU16(b + 21), 19);
  EXPECT_EQ(GetU16(b + 23), 3);
  EXPECT_EQ(GetI16(b + 25), 1);
  EXPECT_EQ(GetF64(b + 27), 1.5);
  EXPECT_EQ(b[35], 4);
  EXPECT_EQ(std::memcmp(b + 36, "Desc", 4), 0);
  EXPECT_EQ(b[40], 0);
  EXPECT_EQ(b[86], 1);
  EXPECT_EQ(b[87], 2);
  EXPECT_EQ(std::memcmp(b + 88, "pw", 2), 0);
  EXPECT_EQ(GetU16(b + 103), 0x0416);
  EXPECT_EQ(GetU16(b + 105), 1);
  EXPECT_EQ(GetU16(b + 107), 2);
  EXPECT_EQ(GetU16(b + 109), 3);
  EXPECT_EQ(b[111], 1);
  EXPECT_EQ(GetI32(b + 112), 99);
  EXPECT_EQ(GetU32(b + 116), 33000u);
  for (size_t i = 120; i < kTableHeaderSize; ++i) EXPECT_EQ(b[i], 0) << i;

  TTableHeader back = DecodeTableHeader(b);
  EXPECT_EQ(back.description, "Desc");
  EXPECT_EQ(back.password, "pw");
  EXPECT_EQ(back.last_row_id, -2);
  EXPECT_EQ(back.language, 0x0416);
}

TEST(TableHeaderFormat, BlobBlockSizeReadsLow16BitsAnd512ForZero) {
  TTableHeader h;
  h.blob_block_size_raw = 0;
  EXPECT_EQ(h.BlobBlockSize(), 512);
  h.blob_block_size_raw = 0x00010040;
  EXPECT_EQ(h.BlobBlockSize(), 0x40);
}

TEST(TableHeaderFormat, OverlongLengthBytesAreCutToTheField) {
  uint8_t b[kTableHeaderSize] = {};
  b[35] = 200;  // description claims 200 bytes of 50
  b[87] = 255;  // password claims 255 of 15
  TTableHeader h = DecodeTableHeader(b);
  EXPECT_EQ(h.description.size(), 50u);
  EXPECT_EQ(h.password.size(), 15u);
}

TEST(FieldDefFormat, FieldsSitAtTheirOffsetsAndTailIsZero) {
  TFieldDef d = MakeFieldDef(2, "NAME", kFldBcd, 0, 0, 2);
  d.description = "a field";
  d.phys_size = 34;
  d.phys_decimals = 2;
  d.offset = 14;
  d.required = true;
  d.char_case = kCaseUpper;
  d.min_value = "1";
  d.max_value = "99";
  d.default_value = "5";
  d.calculated = true;
  int marker = 0;
  d.expression = &marker;
  std::vector<uint8_t> b(kFieldDefSize, 0xEE);
  EncodeFieldDef(d, b.data());
  EXPECT_EQ(GetU16(&b[0]), 2);
  EXPECT_EQ(b[2], 4);
  EXPECT_EQ(std::memcmp(&b[3], "NAME", 4), 0);
  EXPECT_EQ(b[33], 7);
  EXPECT_EQ(std::memcmp(&b[34], "a field", 7), 0);
  EXPECT_EQ(b[84], kFldBcd);
  EXPECT_EQ(b[85], 0);
  EXPECT_EQ(b[86], 0);
  EXPECT_EQ(b[87], 2);
  EXPECT_EQ(b[88], 34);
  EXPECT_EQ(b[89], 2);
  EXPECT_EQ(GetU16(&b[90]), 14);
  EXPECT_EQ(b[92], 1);
  EXPECT_EQ(b[93], 2);
  EXPECT_EQ(b[94], 1);
  EXPECT_EQ(b[95], '1');
  EXPECT_EQ(b[145], 2);
  EXPECT_EQ(b[196], 1);
  EXPECT_EQ(b[197], '5');
  EXPECT_EQ(b[247], 1);
  for (size_t i = 248; i < kFieldDefSize; ++i) ASSERT_EQ(b[i], 0) << i;

  TFieldDef back = DecodeFieldDef(b.data());
  EXPECT_EQ(back.name, "NAME");
  EXPECT_EQ(back.max_value, "99");
  EXPECT_EQ(back.expression, nullptr);
  EXPECT_TRUE(back.calculated);
}

TEST(FieldTypesTest, PhysicalSizes) {
  struct Case {
    uint8_t type;
    uint8_t declared;
    int size;
  } cases[] = {
      {kFldString, 10, 11}, {kFldDate, 0, 4},    {kFldBlob, 0, 8},      {kFldBoolean, 0, 2},
      {kFldSmallInt, 0, 2}, {kFldInteger, 0, 4}, {kFldFloat, 0, 8},     {kFldBcd, 0, 34},
      {kFldBytes, 7, 7},    {kFldTime, 0, 4},    {kFldTimestamp, 0, 8}, {kFldWord, 0, 2},
      {kFldType13, 0, 4},   {kFldType14, 0, 10}, {kFldVarBytes, 9, 9},  {kFldLargeInt, 0, 8},
      {0, 0, -1},           {16, 0, -1}};
  for (const Case& c : cases)
    EXPECT_EQ(FieldPhysicalSize(c.type, c.declared), c.size) << int(c.type);
}

TEST(RecordLayoutTest, AutoIncrementAndTwoIntegersMake19Bytes) {
  std::vector<TFieldDef> defs = testing::AutoIncAndTwoIntegers().fields;
  EXPECT_EQ(AssignFieldLayout(defs), 19);
  EXPECT_EQ(defs[0].offset, 5);
  EXPECT_EQ(defs[1].offset, 9);
  EXPECT_EQ(defs[2].offset, 14);

  uint8_t rec[19] = {};
  SetRecordRowId(rec, 42);
  EXPECT_FALSE(FieldIsNull(rec, defs[0]));  // autoincrement is never null
  EXPECT_EQ(GetI32(FieldValue(rec, defs[0])), 42);
  EXPECT_TRUE(FieldIsNull(rec, defs[1]));
  SetFieldHasValue(rec, defs[2], true);
  PutI32(FieldValue(rec, defs[2]), -1);
  EXPECT_EQ(rec[14], 1);
  EXPECT_EQ(GetI32(rec + 15), -1);
}

TEST(RecordLayoutTest, CalculatedColumnsTakeNoSpace) {
  std::vector<TFieldDef> defs = {MakeFieldDef(1, "A", kFldString, 4),
                                 MakeFieldDef(2, "C", kFldFloat),
                                 MakeFieldDef(3, "B", kFldSmallInt)};
  defs[1].calculated = true;
  EXPECT_EQ(AssignFieldLayout(defs), 9 + 6 + 3);
  EXPECT_EQ(defs[2].offset, 15);
  EXPECT_EQ(defs[0].phys_size, 5);
}

TEST(ScrambleTest, TwiceRestoresAndTheRoutineIsAsDescribed) {
  std::vector<uint8_t> block = {0, 1, 2, 3, 250};
  std::vector<uint8_t> copy = block;
  ScrambleBytes(block.data(), block.size(), 0x0201);
  // L = 1, H = 2: byte ^ 1 ^ 2, then L = 2, H = 1: byte ^ 2 ^ 1, then L = 3, H = 0 ...
  EXPECT_EQ(block[0], 0 ^ 1 ^ 2);
  EXPECT_EQ(block[1], 1 ^ 2 ^ 1);
  EXPECT_EQ(block[2], 2 ^ 3 ^ 0);
  EXPECT_EQ(block[3], 3 ^ 4 ^ 0xFF);
  ScrambleBytes(block.data(), block.size(), 0x0201);
  EXPECT_EQ(block, copy);
}

TEST(ScrambleTest, BlockOfLength65536IsLeftAsIs) {
  std::vector<uint8_t> block(65536, 0x55);
  ScrambleBlock(block.data(), block.size());
  EXPECT_EQ(block, std::vector<uint8_t>(65536, 0x55));
  std::vector<uint8_t> other(65537, 0x55);
  ScrambleBlock(other.data(), other.size());
  EXPECT_NE(other, std::vector<uint8_t>(65537, 0x55));
}

TEST(RowIdentifierTest, WrapsAfterTheLargest32BitValue) {
  EXPECT_EQ(NextRowIdentifier(0), 1);
  EXPECT_EQ(NextRowIdentifier(41), 42);
  EXPECT_EQ(NextRowIdentifier(2147483646), 2147483647);
  EXPECT_EQ(NextRowIdentifier(2147483647), 1);
  EXPECT_EQ(MergeRowIdentifier(10, 5), 10);
  EXPECT_EQ(MergeRowIdentifier(10, 50), 50);
}

TEST(BcdFieldTest, TwoDecimalsStore12Point3456As12Point35) {
  uint8_t v[kBcdSize];
  ASSERT_TRUE(PutBcdValue(v, 123456, 2));
  EXPECT_EQ(v[0], 32);
  EXPECT_EQ(v[1], 2);
  // 32 digits right-aligned in bytes 2-17: ...0001235
  for (int i = 2; i < 16; ++i) EXPECT_EQ(v[i], 0) << i;
  EXPECT_EQ(v[16], 0x12);
  EXPECT_EQ(v[17], 0x35);
  for (int i = 18; i < 34; ++i) EXPECT_EQ(v[i], 0) << i;
  int64_t back = 0;
  ASSERT_TRUE(GetBcdValue(v, &back));
  EXPECT_EQ(back, 123500);

  ASSERT_TRUE(PutBcdValue(v, -123456, 6));  // more places than four: zeros
  EXPECT_EQ(v[1], 0x80 | 6);
  EXPECT_EQ(v[17], 0x00);
  EXPECT_EQ(v[16], 0x56);
  ASSERT_TRUE(GetBcdValue(v, &back));
  EXPECT_EQ(back, -123456);
}

TEST(BcdFieldTest, DamagedImagesReadAsFailureNotGarbage) {
  uint8_t v[kBcdSize] = {};
  int64_t out = 7;
  EXPECT_TRUE(GetBcdValue(v, &out));  // precision 0 reads as zero
  EXPECT_EQ(out, 0);
  v[0] = 32;
  v[17] = 0xAF;  // nibbles above 9
  EXPECT_FALSE(GetBcdValue(v, &out));
  EXPECT_EQ(out, 0);
}

}  // namespace
}  // namespace ficha
