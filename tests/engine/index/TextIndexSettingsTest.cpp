#include "engine/index/TextIndexSettings.h"

#include <gtest/gtest.h>

#include "IndexTestUtil.h"
#include "common/ErrorCodes.h"
#include "engine/index/IndexChecker.h"

namespace ficha {
namespace {

TEST(TextIndexSettings, DefaultSplitting) {
  const TTextIndexSettings s = TTextIndexSettings::Defaults();
  EXPECT_EQ(s.stop_words.size(), 22u);
  const std::vector<std::string> want = {"QUICK", "BROWN", "FOX", "A_B", "123", "\xC9T\xC9"};
  EXPECT_EQ(
      s.SplitWords("The quick-brown fox, the FOX; a_b 123 \xE9t\xE9 A an", TKeyLanguage::Ansi()),
      want);
  // Characters that are neither spaces nor included are dropped from words.
  EXPECT_EQ(s.SplitWords("x!y", TKeyLanguage::Ansi()), std::vector<std::string>{"XY"});
  // Words stop growing at 60 characters.
  const std::string longword(70, 'q');
  EXPECT_EQ(s.SplitWords(longword, TKeyLanguage::Ansi()),
            std::vector<std::string>{std::string(60, 'Q')});
  // Search texts keep "*" inside their words.
  EXPECT_EQ(s.SplitWords("ab*c d*", TKeyLanguage::Ansi(), true),
            (std::vector<std::string>{"AB*C", "D*"}));
  EXPECT_EQ(s.SplitWords("ab*c", TKeyLanguage::Ansi()), (std::vector<std::string>{"AB", "C"}));
}

using TextIndexChainTest = IndexFileFixture;

TEST_F(TextIndexChainTest, OwnSettingsSurviveTheDisk) {
  EXPECT_EQ(file_->ReadTextIndexSettings(), TTextIndexSettings::Defaults());
  TTextIndexSettings s = TTextIndexSettings::Defaults();
  for (int i = 0; i < 800; ++i) s.stop_words.push_back("STOPWORD" + std::to_string(i));
  s.spaces.set('#');
  s.includes.reset('_');
  file_->WriteTextIndexSettings(s);
  const int32_t first = file_->IndexDefinition(kSysTextIndex).first_settings_page;
  ASSERT_NE(first, 0);
  file_->FlushBuffers(false, false, true);
  file_->CloseFile();
  file_->OpenFile();
  EXPECT_EQ(file_->ReadTextIndexSettings(), s);
  const std::vector<uint8_t> page = RawPage(first);
  EXPECT_EQ(page[0], kPageRaw);
  EXPECT_NE(GetI32(page.data() + 7), 0);  // more than one page
  EXPECT_GT(file_->TextIndexSettingsPages().size(), 1u);
  EXPECT_TRUE(TIndexChecker(file_.get()).CheckFile().Ok());
  // Back to the defaults: the chain's pages go to the free chain.
  file_->WriteTextIndexSettings(TTextIndexSettings::Defaults());
  EXPECT_EQ(file_->IndexDefinition(kSysTextIndex).first_settings_page, 0);
  EXPECT_NE(file_->FirstFreePage(kSysTextIndex), 0);
  EXPECT_TRUE(TIndexChecker(file_.get()).CheckFile().Ok());
}

// Builds a two-page chain by hand: 16 stop words of 255 characters; the
// last one does not fit in the first page and starts the second.
TEST_F(TextIndexChainTest, ValueThatDoesNotFitStartsTheNextPage) {
  std::vector<uint8_t> p1(kIndexPageSize, 0), p2(kIndexPageSize, 0);
  p1[0] = p2[0] = kPageRaw;
  PutI32(p1.data() + 7, 2);
  int pos = kPageHeaderSize;
  PutI32(p1.data() + pos, 16);
  pos += 4;
  for (int i = 0; i < 15; ++i) {
    PutI32(p1.data() + pos, 255);
    std::memset(p1.data() + pos + 4, 'a' + i, 255);
    pos += 259;
  }
  PutI32(p1.data() + pos, 255);  // fits; its 255 bytes do not
  int q = kPageHeaderSize;
  std::memset(p2.data() + q, 'z', 255);
  q += 255;
  PutI32(p2.data() + q, 32);
  std::memset(p2.data() + q + 4, 0x01, 32);  // every code 0 mod 8 is a space
  q += 36;
  PutI32(p2.data() + q, 32);
  std::memset(p2.data() + q + 4, 0xFE, 32);
  WriteRawPage(1, p1);
  WriteRawPage(2, p2);
  file_->FlushBuffers(true, false, true);
  std::vector<uint8_t> header = RawPage(0);
  PutI32(header.data() + 9, 3);
  PutI32(header.data() + 14 + 120 * 32 + 96, 1);
  WriteRawPage(0, header);
  file_->ReadIndexHeader();
  const TTextIndexSettings s = file_->ReadTextIndexSettings();
  ASSERT_EQ(s.stop_words.size(), 16u);
  EXPECT_EQ(s.stop_words[15], std::string(255, 'z'));
  EXPECT_TRUE(s.spaces.test(8));
  EXPECT_FALSE(s.spaces.test(9));
  EXPECT_TRUE(s.includes.test(9));

  // Damaged chains.
  struct Case {
    const char* what;
    int page;
    int offset;
    int32_t value;
  } cases[] = {{"page not raw", 2, 0, 1},
               {"negative count", 1, kPageHeaderSize, -1},
               {"length beyond a page", 1, kPageHeaderSize + 4, 5000},
               {"missing next page", 1, 7, 0},
               {"chain in a circle", 1, 7, 1},
               {"set of the wrong length", 2, kPageHeaderSize + 255, 31}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> a = p1, b = p2;
    std::vector<uint8_t>& target = c.page == 1 ? a : b;
    if (c.offset == 0)
      target[0] = static_cast<uint8_t>(c.value);
    else
      PutI32(target.data() + c.offset, c.value);
    WriteRawPage(1, a);
    WriteRawPage(2, b);
    EXPECT_EQ(CodeOf([&] { file_->ReadTextIndexSettings(); }), FICHA_INDEXCORRUPT);
  }
}

}  // namespace
}  // namespace ficha
