#include "lib/lang/SortMap.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "lib/lang/Collation.h"

namespace ficha {
namespace {

constexpr LanguageId kPortugueseBrazil = 0x0416;

size_t PositionOf(const SortMap& map, unsigned char c) {
  return static_cast<size_t>(std::find(map.begin(), map.end(), c) - map.begin());
}

TEST(SortMapTest, AnsiStandardIsTheIdentity) {
  SortMap map = GetSortMap(kLanguageAnsiStandard, kSortDefault);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(map[i], i);
  EXPECT_EQ(map.front(), 0x00);
  EXPECT_EQ(map.back(), 0xFF);
}

TEST(SortMapTest, LocaleMapIsAnOrderedPermutation) {
  SortMap map = GetSortMap(kPortugueseBrazil, kSortDefault);
  SortMap sorted = map;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 256; ++i) ASSERT_EQ(sorted[i], i);
  for (int i = 0; i + 1 < 256; ++i) {
    EXPECT_LE(CompareChar(kPortugueseBrazil, kSortDefault, map[i], map[i + 1]), 0) << i;
  }
  // Letters follow the alphabet, not the byte values.
  EXPECT_LT(PositionOf(map, 'a'), PositionOf(map, 'B'));
  EXPECT_LT(PositionOf(map, 'B'), PositionOf(map, 'c'));
  // Nothing sorts below entry 0 or above entry 255.
  for (int c = 0; c < 256; ++c) {
    auto ch = static_cast<unsigned char>(c);
    EXPECT_LE(CompareChar(kPortugueseBrazil, 0, map.front(), ch), 0);
    EXPECT_GE(CompareChar(kPortugueseBrazil, 0, map.back(), ch), 0);
  }
}

TEST(SortMapTest, MapsAreCachedOncePerPair) {
  TLanguageCharMapsList& list = TLanguageCharMapsList::Instance();
  SortMap first = list.Get(0x0407, kSortGermanPhoneBook);
  size_t count = list.Count();
  SortMap again = list.Get(0x0407, kSortGermanPhoneBook);
  EXPECT_EQ(list.Count(), count);
  EXPECT_EQ(first, again);
  list.Get(0x0c07, kSortGermanPhoneBook);
  EXPECT_EQ(list.Count(), count + 1);
}

}  // namespace
}  // namespace ficha
