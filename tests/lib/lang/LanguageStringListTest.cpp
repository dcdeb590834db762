#include "lib/lang/LanguageStringList.h"

#include <gtest/gtest.h>

#include "common/EngineError.h"
#include "lib/lang/Collation.h"

namespace ficha {
namespace {

constexpr LanguageId kPortugueseBrazil = 0x0416;

std::vector<std::string> Contents(const TLanguageStringList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

TEST(LanguageStringListTest, SortsByLanguageWithoutCase) {
  TLanguageStringList list(kPortugueseBrazil, kSortDefault);
  for (const char* s : {"casa", "Zebra", "\xE1rvore", "bola", "Amor"}) list.Add(s);
  EXPECT_EQ(Contents(list),
            (std::vector<std::string>{"Amor", "\xE1rvore", "bola", "casa", "Zebra"}));

  TLanguageStringList ansi(kLanguageAnsiStandard, kSortDefault);
  for (const char* s : {"casa", "Zebra", "\xE1rvore", "bola"}) ansi.Add(s);
  // Case-insensitive bytes: the accented letter sorts after Z.
  EXPECT_EQ(Contents(ansi), (std::vector<std::string>{"bola", "casa", "Zebra", "\xE1rvore"}));
}

TEST(LanguageStringListTest, FindAndDuplicates) {
  TLanguageStringList list(kPortugueseBrazil, kSortDefault);
  for (const char* s : {"de", "da", "do", "e", "o"}) list.Add(s);
  int index = -1;
  EXPECT_TRUE(list.Find("DO", &index));
  EXPECT_EQ(list[index], "do");
  EXPECT_FALSE(list.Find("dz", &index));
  EXPECT_EQ(index, 3);  // where it would go: before "e"

  // Ignore: the existing entry's position, no insert.
  EXPECT_EQ(list.Add("DE"), 1);
  EXPECT_EQ(list.Count(), 5);

  list.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(list.Add("E"), Exception);
  EXPECT_EQ(list.Count(), 5);

  list.SetDuplicates(TDuplicates::dupAccept);
  list.Add("DO");
  list.Add("Do");
  EXPECT_EQ(list.Count(), 7);
  EXPECT_TRUE(list.Find("do", &index));
  EXPECT_EQ(index, 2);  // the first of the three equal strings
  EXPECT_EQ(CompareText(kPortugueseBrazil, 0, list[index], true, 0, "DO"), 0);
  EXPECT_NE(CompareText(kPortugueseBrazil, 0, list[index - 1], true, 0, "DO"), 0);
}

TEST(LanguageStringListTest, PrefixFind) {
  TLanguageStringList list(kPortugueseBrazil, kSortDefault);
  for (const char* s : {"abacate", "banana", "bandeira", "caju"}) list.Add(s);
  int index = -1;
  EXPECT_TRUE(list.FindPrefix("BAN", 0, 3, &index));
  EXPECT_EQ(list[index], "banana");
  EXPECT_TRUE(list.FindPrefix("band", 0, 4, &index));
  EXPECT_EQ(list[index], "bandeira");
  EXPECT_FALSE(list.FindPrefix("abacate", 1, 3, &index));  // starts after it
  EXPECT_FALSE(list.FindPrefix("bat", 0, 3, &index));
}

TEST(LanguageStringListTest, UnsortedAddThenSort) {
  TLanguageStringList list(kLanguageAnsiStandard, kSortDefault);
  list.SetSorted(false);
  list.Add("b");
  list.Add("a");
  EXPECT_EQ(Contents(list), (std::vector<std::string>{"b", "a"}));
  list.SetSorted(true);
  EXPECT_EQ(Contents(list), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace ficha
