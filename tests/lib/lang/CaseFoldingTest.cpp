#include "lib/lang/CaseFolding.h"

#include <gtest/gtest.h>

#include <string>

namespace ficha {
namespace {

constexpr LanguageId kAnsi = kLanguageAnsiStandard;
constexpr LanguageId kPortugueseBrazil = 0x0416;
constexpr LanguageId kTurkish = 0x041f;

TEST(CaseFoldingTest, AnsiFoldsAccentedLettersOf1252) {
  // a grave, e acute, i circumflex, o tilde, u diaeresis, c cedilla, n tilde,
  // y diaeresis, s caron, oe, z caron.
  const std::string lower = "abc\xE0\xE9\xEE\xF5\xFC\xE7\xF1\xFF\x9A\x9C\x9E";
  const std::string upper = "ABC\xC0\xC9\xCE\xD5\xDC\xC7\xD1\x9F\x8A\x8C\x8E";
  EXPECT_EQ(ToUpper(kAnsi, 0, lower), upper);
  EXPECT_EQ(ToLower(kAnsi, 0, upper), lower);
}

TEST(CaseFoldingTest, AnsiLeavesNonLettersAlone) {
  // Division and multiplication signs sit among the accented letters; sharp s
  // and micro have no 1252 capital.
  const std::string text =
      "\xF7\xD7\xDF\xB5"
      "123 -_";
  EXPECT_EQ(ToUpper(kAnsi, 0, text), text);
  EXPECT_EQ(ToLower(kAnsi, 0, text), text);
}

TEST(CaseFoldingTest, AnsiTableAgreesWithTheEnglishLocale) {
  // The fixed table of language 0 must be the English (USA) mapping.
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    auto ch = static_cast<unsigned char>(c);
    EXPECT_EQ(UpperChar(kAnsi, 0, ch), UpperChar(kLanguageEnglishUsa, 0, ch));
    EXPECT_EQ(LowerChar(kAnsi, 0, ch), LowerChar(kLanguageEnglishUsa, 0, ch));
  }
}

TEST(CaseFoldingTest, LocaleFolding) {
  EXPECT_EQ(ToUpper(kPortugueseBrazil, 0, "a\xE7\xE3o"), "A\xC7\xC3O");
  EXPECT_EQ(ToLower(kPortugueseBrazil, 0, "S\xC3O JOS\xC9"), "s\xE3o jos\xE9");
  // Turkish dotted capital I is not in 1252: the neutral mapping is used.
  EXPECT_EQ(ToUpper(kTurkish, 0, "istanbul"), "ISTANBUL");
}

TEST(CaseFoldingTest, InPlaceKeepsLengthAndStopsAtTerminator) {
  char text[] = {'a', '\xE9', 0, 'b', 0};
  UpperCaseText(kPortugueseBrazil, 0, text);
  EXPECT_EQ(text[0], 'A');
  EXPECT_EQ(text[1], '\xC9');
  EXPECT_EQ(text[3], 'b');
  LowerCaseText(kAnsi, 0, text);
  EXPECT_EQ(std::string(text), "a\xE9");

  std::string s("x\0y", 3);
  UpperCaseInPlace(kAnsi, 0, s);
  EXPECT_EQ(s, std::string("X\0Y", 3));
}

}  // namespace
}  // namespace ficha
