// Page images byte for byte: the entry layout of inner pages (with and
// without counts) and of leaves in each compression, written and read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IndexTestUtil.h"
#include "engine/index/Page.h"

namespace ficha {
namespace {

using Bytes = std::vector<uint8_t>;

struct PageImageCase {
  const char* what;
  uint8_t type;
  int compression;
  bool unique;
  bool no_counts;
  std::vector<Bytes> keys;  // 8-byte keys, in order
  Bytes entries;            // the expected entry bytes after the page header
};

// Records 7, 9, 11 for the entries; counts 100, 200, 300 for inner pages.
const PageImageCase kCases[] = {
    {"uncompressed leaf",
     kPageRootLeaf,
     0,
     true,
     false,
     {{0x41, 0x42, 0x43, 0, 0, 0, 0, 0}, {0x41, 0x42, 0x44, 0x45, 0, 0, 0, 0}},
     {0x41, 0x42, 0x43, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0x41, 0x42, 0x44, 0x45, 0, 0, 0, 0, 9, 0, 0, 0}},
    {"inner page with counts",
     kPageRootInner,
     0,
     true,
     false,
     {{0x41, 0x42, 0x43, 0, 0, 0, 0, 0}, {0x41, 0x42, 0x44, 0x45, 0, 0, 0, 0}},
     {0x41, 0x42, 0x43, 0,    0, 0, 0, 0, 7, 0, 0, 0, 100, 0, 0, 0,
      0x41, 0x42, 0x44, 0x45, 0, 0, 0, 0, 9, 0, 0, 0, 200, 0, 0, 0}},
    {"inner page without counts (compressed index)",
     kPageInner,
     3,
     true,
     true,
     {{0x41, 0x42, 0x43, 0, 0, 0, 0, 0}, {0x41, 0x42, 0x44, 0x45, 0, 0, 0, 0}},
     {0x41, 0x42, 0x43, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0x41, 0x42, 0x44, 0x45, 0, 0, 0, 0, 9, 0, 0, 0}},
    {"duplicate bytes, unique",
     kPageLeaf,
     1,
     true,
     false,
     {{0x41, 0x42, 0x43, 0, 0, 0, 0, 0}, {0x41, 0x42, 0x44, 0x45, 0, 0, 0, 0}},
     {0, 0x41, 0x42, 0x43, 0, 0, 0, 0, 0, 7, 0, 0, 0,  // first entry: P = 0, whole key
      2, 0x44, 0x45, 0,    0, 0, 0, 9, 0, 0, 0}},      // P = 2
    {"trailing bytes, unique",
     kPageLeaf,
     2,
     true,
     false,
     {{0x41, 0x42, 0x43, 0, 0, 0, 0, 0}, {0x41, 0x42, 0x44, 0x45, 0, 0, 0, 0}},
     {5, 0x41, 0x42, 0x43, 7, 0, 0, 0,          // T = 5
      4, 0x41, 0x42, 0x44, 0x45, 9, 0, 0, 0}},  // T = 4
    {"both, unique",
     kPageLeaf,
     3,
     true,
     false,
     {{0x41, 0x42, 0x43, 0, 0, 0, 0, 0}, {0x41, 0x42, 0x44, 0x45, 0, 0, 0, 0}},
     {0, 5, 0x41, 0x42, 0x43, 7, 0, 0, 0,  // P = 0, T = 5
      2, 4, 0x44, 0x45, 9, 0, 0, 0}},      // P = 2, T = 4
    {"duplicate bytes, non-unique",
     kPageLeaf,
     1,
     false,
     false,
     {{0x41, 0, 0, 0, 0x80, 0, 0, 1},
      {0x41, 0x42, 0, 0, 0x80, 0, 0, 2},
      {0x41, 0x42, 0, 0, 0x80, 0, 0, 3}},
     {0, 0x41, 0,  0, 0,    0x80, 0, 0, 1, 7, 0, 0, 0,  // P = 0
      1, 0x42, 0,  0, 0x80, 0,    0, 2, 9, 0, 0, 0,     // P = 1
      7, 3,    11, 0, 0,    0}},                        // P = 7 reaches into the suffix
    {"trailing bytes, non-unique: zeros before the row identifier",
     kPageLeaf,
     2,
     false,
     false,
     {{0x41, 0, 0, 0, 0x80, 0, 0, 1},
      {0x41, 0x42, 0, 0, 0x80, 0, 0, 2},
      {0x41, 0x42, 0, 0, 0x80, 0, 0, 3}},
     {3, 0x41, 0x80, 0,    0, 1, 7, 0,  0, 0,       // T = 3, suffix kept
      2, 0x41, 0x42, 0x80, 0, 0, 2, 9,  0, 0, 0,    // T = 2
      2, 0x41, 0x42, 0x80, 0, 0, 3, 11, 0, 0, 0}},  // T = 2
    {"both, non-unique",
     kPageLeaf,
     3,
     false,
     false,
     {{0x41, 0, 0, 0, 0x80, 0, 0, 1},
      {0x41, 0x42, 0, 0, 0x80, 0, 0, 2},
      {0x41, 0x42, 0, 0, 0x80, 0, 0, 3}},
     {0, 3, 0x41, 0x80, 0, 0, 1, 7, 0, 0, 0,  // P = 0, T = 3
      1, 2, 0x42, 0x80, 0, 0, 2, 9, 0, 0, 0,  // P = 1, T = 2 stops at the prefix
      7, 0, 3,    11,   0, 0, 0}},            // K - P below 5: T = 0
};

TEST(PageImage, EntryLayoutsByteForByte) {
  for (const PageImageCase& c : kCases) {
    SCOPED_TRACE(c.what);
    TPageFormat format;
    format.index = 1;
    format.key_size = 8;
    format.unique = c.unique;
    format.no_counts = c.no_counts;
    format.compression = static_cast<uint8_t>(c.compression);
    TPage page;
    page.Reset(5, format);
    page.SetType(c.type);
    page.SetPrev(4);
    page.SetNext(6);
    for (size_t i = 0; i < c.keys.size(); ++i)
      page.InsertEntry(static_cast<int>(i) + 1, c.keys[i].data(), 7 + 2 * static_cast<int>(i),
                       100 * (static_cast<int>(i) + 1));
    Bytes image(kIndexPageSize, 0xEE);
    page.Encode(image.data());
    EXPECT_EQ(image[0], c.type);
    EXPECT_EQ(GetU16(image.data() + 1), c.keys.size());
    EXPECT_EQ(GetI32(image.data() + 3), 4);
    EXPECT_EQ(GetI32(image.data() + 7), 6);
    const bool compressed_leaf = c.compression != 0 && page.IsLeaf();
    EXPECT_EQ(GetU16(image.data() + 11), compressed_leaf ? c.entries.size() : 0u);
    EXPECT_EQ(Bytes(image.begin() + 13, image.begin() + 13 + static_cast<long>(c.entries.size())),
              c.entries);
    for (size_t i = 13 + c.entries.size(); i < image.size(); ++i)
      ASSERT_EQ(image[i], 0) << "zero fill at " << i;

    // The image as another writer would have made it reads back whole.
    Bytes written(kIndexPageSize, 0);
    std::copy(image.begin(), image.begin() + 13, written.begin());
    std::copy(c.entries.begin(), c.entries.end(), written.begin() + 13);
    TPage read;
    read.Reset(5, format);
    ASSERT_EQ(read.Decode(written.data()), 0);
    EXPECT_EQ(read.Type(), c.type);
    ASSERT_EQ(read.Count(), static_cast<int>(c.keys.size()));
    for (int i = 1; i <= read.Count(); ++i) {
      EXPECT_EQ(Bytes(read.Key(i), read.Key(i) + 8), c.keys[static_cast<size_t>(i) - 1]);
      EXPECT_EQ(read.Value(i), 7 + 2 * (i - 1));
      if (!read.IsLeaf() && !c.no_counts) {
        EXPECT_EQ(read.KeyCount(i), 100 * i);
      }
    }
  }
}

TEST(PageImage, FreedPageKeepsOnlyItsHeader) {
  TPageFormat format;
  format.key_size = 8;
  TPage page;
  page.Reset(3, format);
  const Bytes key(8, 0x41);
  page.InsertEntry(1, key.data(), 1, 0);
  page.Clear();
  page.SetNext(9);
  page.SetFreed(true);
  Bytes image(kIndexPageSize, 0xEE);
  page.Encode(image.data());
  EXPECT_EQ(GetU16(image.data() + 1), 0);
  EXPECT_EQ(GetI32(image.data() + 7), 9);
  for (size_t i = 13; i < image.size(); ++i) ASSERT_EQ(image[i], 0);
  TPage read;
  read.Reset(3, format);
  ASSERT_EQ(read.Decode(image.data()), 0);
  EXPECT_TRUE(read.Freed());
  EXPECT_EQ(read.Next(), 9);
}

using IndexHeaderImageTest = IndexFileFixture;

TEST_F(IndexHeaderImageTest, ChangedFlagAndChangeCountOnDisk) {
  auto header = [this] { return RawPage(0); };
  file_->DefinePrimaryIndex(Def("", 10));
  ASSERT_TRUE(file_->WriteIndexHeader(false));
  Bytes h = header();
  EXPECT_EQ(GetI32(h.data()), 1);  // incremented before the write
  EXPECT_EQ(h[3979], 1);           // the header had changed
  EXPECT_EQ(h[3978], 0);
  // A forced write of an unchanged header says so.
  ASSERT_TRUE(file_->WriteIndexHeader(true));
  h = header();
  EXPECT_EQ(GetI32(h.data()), 2);
  EXPECT_EQ(h[3979], 0);
  EXPECT_FALSE(file_->WriteIndexHeader(false));
}

TEST_F(IndexHeaderImageTest, FirstSplitTakesTheSiblingBeforeTheNewRoot) {
  file_->DefinePrimaryIndex(Def("", 10));
  for (int v = 0; v <= 291; ++v) file_->InsertKey(0, Key(v, 10).data(), v + 1);
  // Page 1 was the root leaf; its new right half is page 2, the new root 3.
  EXPECT_EQ(file_->RootPage(0), 3);
  Cycle();
  const Bytes root = RawPage(3);
  EXPECT_EQ(root[0], kPageRootInner);
  EXPECT_EQ(GetI32(root.data() + 13 + 10), 1);
  EXPECT_EQ(GetI32(root.data() + 13 + 18 + 10), 2);
  EXPECT_EQ(GetI32(RawPage(1).data() + 7), 2);
  EXPECT_EQ(GetI32(RawPage(2).data() + 3), 1);
}

}  // namespace
}  // namespace ficha
