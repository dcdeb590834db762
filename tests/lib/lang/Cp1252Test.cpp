#include "lib/lang/Cp1252.h"

#include <gtest/gtest.h>

namespace ficha {
namespace {

TEST(Cp1252Test, EveryByteRoundTrips) {
  for (int c = 0; c < 256; ++c) {
    unsigned char back = 0;
    ASSERT_TRUE(UnicodeToCp1252(Cp1252ToUnicode(static_cast<unsigned char>(c)), &back)) << c;
    EXPECT_EQ(back, c);
  }
}

TEST(Cp1252Test, WindowsRangeMapsToItsCharacters) {
  EXPECT_EQ(Cp1252ToUnicode(0x80), u'\u20AC');  // euro
  EXPECT_EQ(Cp1252ToUnicode(0x8A), u'\u0160');  // S caron
  EXPECT_EQ(Cp1252ToUnicode(0x93), u'\u201C');  // left double quote
  EXPECT_EQ(Cp1252ToUnicode(0x9F), u'\u0178');  // Y diaeresis
  EXPECT_EQ(Cp1252ToUnicode(0x81), u'\u0081');  // undefined: kept
  EXPECT_EQ(Cp1252ToUnicode(0xE9), u'\u00E9');
  unsigned char c;
  EXPECT_FALSE(UnicodeToCp1252(0x0130, &c));  // dotted capital I
}

TEST(Cp1252Test, Utf8) {
  EXPECT_EQ(Cp1252ToUtf8("D\xEDgito 9 \x80"), "D\xC3\xADgito 9 \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToCp1252("Conclu\xC3\xAD"
                         "do \xE2\x82\xAC"),
            "Conclu\xED"
            "do \x80");
  // Malformed or unmappable input becomes '?'.
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");
  EXPECT_EQ(Utf8ToCp1252("\xFF"
                         "b"),
            "?b");
}

}  // namespace
}  // namespace ficha
