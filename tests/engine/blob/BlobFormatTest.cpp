#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

#include "engine/blob/BlobFileHeader.h"
#include "engine/blob/BlobReference.h"
#include "engine/blob/BlockHeader.h"
#include "engine/data/DataFile.h"
#include "engine/data/PlainTableOwner.h"

namespace ficha {
namespace {

TEST(BlobFileHeaderTest, NewHeaderBytes) {
  TBlobFileHeader header;
  header.SetChangeCount(0x01020304);
  std::array<uint8_t, kBlobHeaderSize> image;
  image.fill(0xEE);
  header.Encode(image.data(), true);
  EXPECT_EQ(image[0], 0x04);
  EXPECT_EQ(image[3], 0x01);
  for (int i = 4; i < 8; ++i) EXPECT_EQ(image[i], 0) << i;
  EXPECT_EQ(image[8], 5);
  for (int i = 9; i < 13; ++i) EXPECT_EQ(image[i], 0) << i;  // no free block
  EXPECT_EQ(image[13], 1);                                   // next block number 1
  EXPECT_EQ(image[14] | image[15] | image[16], 0);
  EXPECT_EQ(image[17], 1);  // changed marker
  for (int i = 18; i < kBlobHeaderSize; ++i) ASSERT_EQ(image[i], 0) << i;

  header.Encode(image.data(), false);
  EXPECT_EQ(image[17], 0);
}

TEST(BlobFileHeaderTest, FieldsRoundTripAndReservedBytesKept) {
  std::array<uint8_t, kBlobHeaderSize> image{};
  image[8] = 5;
  image[9] = 0x10;   // first free 0x0010
  image[13] = 0x22;  // next block 0x3322
  image[14] = 0x33;
  image[17] = 1;      // ignored when read
  image[100] = 0x7A;  // a byte this engine does not use
  TBlobFileHeader header;
  header.Decode(image.data());
  EXPECT_EQ(header.FirstFreeBlock(), 0x10);
  EXPECT_EQ(header.NextBlock(), 0x3322);
  std::array<uint8_t, kBlobHeaderSize> out{};
  header.Encode(out.data(), false);
  EXPECT_EQ(out[100], 0x7A);
  EXPECT_EQ(out[17], 0);
}

TEST(BlobFileHeaderTest, ChangeCountWraps) {
  TBlobFileHeader header;
  header.SetChangeCount(std::numeric_limits<int32_t>::max());
  header.BumpChangeCount();
  EXPECT_EQ(header.ChangeCount(), std::numeric_limits<int32_t>::min());
  header.SetChangeCount(-1);
  header.BumpChangeCount();
  EXPECT_EQ(header.ChangeCount(), 0);
}

TEST(BlockHeaderTest, Bytes) {
  TBlockHeader header{0x11223344, 7, 494, -2, 1000};
  uint8_t image[kBlockHeaderSize];
  header.Encode(image);
  const uint8_t expected[kBlockHeaderSize] = {0x44, 0x33, 0x22, 0x11, 7,    0,    0,    0, 0xEE,
                                              0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0xE8, 0x03, 0, 0};
  for (int i = 0; i < kBlockHeaderSize; ++i) EXPECT_EQ(image[i], expected[i]) << i;
  TBlockHeader back;
  back.Decode(image);
  EXPECT_EQ(back, header);
}

TEST(BlockHeaderTest, BlocksForLength) {
  struct Case {
    int64_t length;
    int block_size;
    int64_t blocks;
  };
  const Case cases[] = {{0, 512, 0},    {1, 512, 1}, {494, 512, 1}, {495, 512, 2},
                        {1000, 512, 3}, {46, 64, 1}, {47, 64, 2},   {1048576, 512, 2123}};
  for (const Case& c : cases) {
    EXPECT_EQ(BlocksForLength(c.length, c.block_size), c.blocks)
        << c.length << " bytes, B=" << c.block_size;
  }
}

TEST(BlobReferenceTest, Bytes) {
  uint8_t value[kBlobReferenceSize];
  TBlobReference{0x0A0B0C0D, 0x7F000001}.Encode(value);
  const uint8_t expected[] = {0x0D, 0x0C, 0x0B, 0x0A, 0x01, 0x00, 0x00, 0x7F};
  for (int i = 0; i < kBlobReferenceSize; ++i) EXPECT_EQ(value[i], expected[i]) << i;
  EXPECT_EQ(TBlobReference::Decode(value), (TBlobReference{0x0A0B0C0D, 0x7F000001}));
}

TEST(BlobReferenceTest, NextRevision) {
  const int32_t kMax = std::numeric_limits<int32_t>::max();
  const std::pair<int32_t, int32_t> cases[] = {{0, 1},           {1, 2},    {41, 42},
                                               {kMax - 1, kMax}, {kMax, 1}, {-7, 1}};
  for (const auto& [last, next] : cases) EXPECT_EQ(NextBlobRevision(last), next) << last;
}

TEST(BlobReferenceTest, RevisionsComeFromTheDataHeader) {
  TPlainTableOwner owner("TABELA");
  TDataFile data(&owner);
  data.SetLastBlobRevision(std::numeric_limits<int32_t>::max() - 1);
  data.SetHeaderChanged();
  EXPECT_EQ(TakeBlobRevision(data), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(TakeBlobRevision(data), 1);
  EXPECT_EQ(data.LastBlobRevision(), 1);
  EXPECT_TRUE(data.IsHeaderChanged());
}

}  // namespace
}  // namespace ficha
