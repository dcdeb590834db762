#include "lib/lang/Collation.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace ficha {
namespace {

constexpr LanguageId kAnsi = kLanguageAnsiStandard;
constexpr LanguageId kPortugueseBrazil = 0x0416;
constexpr LanguageId kGerman = 0x0407;
constexpr LanguageId kSpanishCastilian = 0x040a;
constexpr LanguageId kSpanishModern = 0x0c0a;

struct CompareCase {
  const char* what;
  LanguageId language;
  SortId sort;
  std::string a;
  std::string b;
  bool case_insensitive;
  int expected;
};

// Texts are Windows-1252 bytes.
const CompareCase kWholeTextCases[] = {
    {"ANSI: uppercase sorts before lowercase", kAnsi, 0, "B", "a", false, -1},
    {"ANSI: case matters", kAnsi, 0, "a", "A", false, 1},
    {"ANSI: case-insensitive", kAnsi, 0, "a", "A", true, 0},
    {"ANSI: case-insensitive still byte order", kAnsi, 0, "B", "a", true, 1},
    {"ANSI: terminator takes part", kAnsi, 0, "AB", "ABC", false, -1},
    {"ANSI: longer is greater", kAnsi, 0, "ABC", "AB", false, 1},
    {"ANSI: equal", kAnsi, 0, "abc", "abc", false, 0},
    {"ANSI: accented letters are bytes", kAnsi, 0, "\xE1", "b", false, 1},
    {"ANSI: accented case fold", kAnsi, 0, "\xE9t\xE9", "\xC9T\xC9", true, 0},
    {"ANSI: empty vs text", kAnsi, 0, "", "a", false, -1},
    {"pt-BR: letters before case", kPortugueseBrazil, 0, "B", "a", false, 1},
    {"pt-BR: case differs", kPortugueseBrazil, 0, "abc", "ABC", false, -1},
    {"pt-BR: case ignored", kPortugueseBrazil, 0, "abc", "ABC", true, 0},
    {"pt-BR: accents ignored", kPortugueseBrazil, 0, "a\xE7\xE3o", "acao", false, 0},
    {"pt-BR: accented with base letter", kPortugueseBrazil, 0, "a\xE7\xE3o", "acb", false, -1},
    {"pt-BR: prefix is smaller", kPortugueseBrazil, 0, "AB", "ABC", false, -1},
    {"de phone book: umlaut is vowel + e", kGerman, kSortGermanPhoneBook, "M\xFCller", "Mueller",
     false, 0},
    {"de phone book: ue before uf", kGerman, kSortGermanPhoneBook, "M\xFCller", "Muff", false, -1},
    {"de default: umlaut is the vowel", kGerman, kSortDefault, "M\xFCller", "Muff", false, 1},
    {"es traditional: ch after cu", kSpanishCastilian, 0, "chico", "cuna", false, 1},
    {"es modern: ch before cu", kSpanishModern, 0, "chico", "cuna", false, -1},
};

TEST(CollationTest, WholeTexts) {
  for (const CompareCase& c : kWholeTextCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CompareText(c.language, c.sort, c.a.c_str(), c.case_insensitive, 0, c.b.c_str()),
              c.expected);
    EXPECT_EQ(CompareText(c.language, c.sort, c.b.c_str(), c.case_insensitive, 0, c.a.c_str()),
              -c.expected);
    EXPECT_EQ(CompareText(c.language, c.sort, std::string_view(c.a), c.case_insensitive, 0,
                          std::string_view(c.b)),
              c.expected);
  }
}

TEST(CollationTest, LocaleOrderDiffersFromByteOrder) {
  // The reason tables carry a language: the same pair sorts differently.
  EXPECT_GT(CompareText(kAnsi, 0, "\xE1rvore", false, 0, "casa"), 0);
  EXPECT_LT(CompareText(kPortugueseBrazil, 0, "\xE1rvore", false, 0, "casa"), 0);
}

TEST(CollationTest, FixedLength) {
  // Only the first n characters count.
  EXPECT_EQ(CompareText(kAnsi, 0, "ABX", false, 2, "ABY"), 0);
  EXPECT_EQ(CompareText(kPortugueseBrazil, 0, "abX", false, 2, "abY"), 0);
  EXPECT_EQ(CompareText(kAnsi, 0, "abX", true, 2, "ABY"), 0);
  // Language 0 compares all n bytes, past a terminator too.
  const char a[] = {'A', 'B', 0, 'X'};
  const char b[] = {'A', 'B', 0, 'Y'};
  EXPECT_EQ(CompareText(kAnsi, 0, a, false, 4, b), -1);
  // A locale comparison ends at the terminator.
  EXPECT_EQ(CompareText(kPortugueseBrazil, 0, a, false, 4, b), 0);
  // Views read zeros past their end.
  EXPECT_EQ(CompareText(kAnsi, 0, std::string_view("AB"), false, 4, std::string_view("AB\0\0", 4)),
            0);
  EXPECT_EQ(CompareText(kAnsi, 0, std::string_view("ABCD"), false, 2, std::string_view("AB")), 0);
  EXPECT_EQ(CompareText(kAnsi, 0, std::string_view("ABC"), false, 3, std::string_view("AB")), 1);
  EXPECT_EQ(CompareText(kPortugueseBrazil, 0, std::string_view("abcd"), true, 3,
                        std::string_view("ABCz")),
            0);
}

TEST(CollationTest, Characters) {
  EXPECT_EQ(CompareChar(kAnsi, 0, 'B', 'a'), -1);
  EXPECT_EQ(CompareChar(kAnsi, 0, 'a', 'a'), 0);
  EXPECT_EQ(CompareChar(kPortugueseBrazil, 0, 'a', 'B'), -1);
  EXPECT_EQ(CompareChar(kPortugueseBrazil, 0, 'a', 'A'), -1);
  EXPECT_EQ(CompareChar(kPortugueseBrazil, 0, 0xE1, 'a'), 0);  // a acute
}

TEST(CollationTest, Bytes) {
  const unsigned char low[] = {1, 2, 0x80};
  const unsigned char high[] = {1, 2, 0x81};
  EXPECT_EQ(CompareBytes(low, high, 3), -1);
  EXPECT_EQ(CompareBytes(high, low, 3), 1);
  EXPECT_EQ(CompareBytes(low, high, 2), 0);
  EXPECT_EQ(CompareBytes(low, high, 3, /*descending=*/true), 1);
  EXPECT_EQ(CompareBytes(nullptr, high, 3), 1);
  EXPECT_EQ(CompareBytes(low, high, 0), 0);
}

TEST(CollationTest, ConcurrentComparisonsAgree) {
  // Collators are created lazily and shared; several threads racing on the
  // first use must all get the same answers.
  const LanguageId languages[] = {0x0416, 0x0816, 0x040c, 0x0410, kSpanishModern};
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        for (LanguageId language : languages) {
          if (CompareText(language, 0, "a\xE7\xE3o", false, 0, "acb") != -1) ++failures[t];
          if (CompareText(language, 0, "ABC", true, 0, "abc") != 0) ++failures[t];
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace ficha
