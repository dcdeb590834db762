#include "lib/lang/LanguageTable.h"

#include <gtest/gtest.h>

#include <set>

namespace ficha {
namespace {

constexpr LanguageId kPortugueseBrazil = 0x0416;
constexpr LanguageId kGermanAustria = 0x0c07;
constexpr LanguageId kFrenchSwiss = 0x100c;

TEST(LanguageTableTest, PositionsNamesAndIdentifiers) {
  struct Case {
    int position;
    const char* name;
    LanguageId id;
  };
  const Case cases[] = {
      {0, "ANSI Standard", 0x0000},
      {16, "Arabic (U.A.E)", 0x3801},
      {28, "English (USA)", 0x0409},
      {36, "English (Caribbean)", 0x2409},
      {40, "Faeroese", 0x0438},
      {48, "German (Standard)", 0x0407},
      {52, "German (Liechtenstein)", 0x1407},
      {66, "Portuguese (Brazilian)", 0x0416},
      {73, "Spanish (Castilian)", 0x040a},
      {96, "Turkish", 0x041f},
      {97, "Ukranian", 0x0422},
      {98, "Vietnamese", 0x042a},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LanguageAt(c.position).name, c.name);
    EXPECT_EQ(LanguageAt(c.position).id, c.id);
    EXPECT_EQ(LanguagePositionById(c.id), c.position);
    EXPECT_EQ(LanguagePositionByName(c.name), c.position);
    EXPECT_EQ(LanguageNameById(c.id), c.name);
  }
}

TEST(LanguageTableTest, IdentifiersAreUniqueAndEveryLanguageHasALocale) {
  std::set<LanguageId> ids;
  for (int i = 0; i < kLanguageCount; ++i) {
    SCOPED_TRACE(LanguageAt(i).name);
    EXPECT_TRUE(ids.insert(LanguageAt(i).id).second);
    if (i > 0) {
      EXPECT_FALSE(IcuLocaleName(LanguageAt(i).id, kSortDefault).empty());
      EXPECT_TRUE(IsLanguageInstalled(LanguageAt(i).id, kSortDefault));
    }
  }
}

TEST(LanguageTableTest, NameLookupIgnoresCaseAndNeedsTheExactSpelling) {
  LanguageId id = 0xFFFF;
  EXPECT_TRUE(FindLanguageByName("english (usa)", &id));
  EXPECT_EQ(id, 0x0409);
  EXPECT_TRUE(FindLanguageByName("PORTUGUESE (BRAZILIAN)", &id));
  EXPECT_EQ(id, kPortugueseBrazil);
  EXPECT_TRUE(IsValidLanguageName("ansi standard"));

  for (const char* bad : {"Arabic (U.A.E.)", "Ukrainian", "English", "", "English (USA) "}) {
    SCOPED_TRACE(bad);
    id = 0x7777;
    EXPECT_FALSE(FindLanguageByName(bad, &id));
    EXPECT_EQ(id, 0x7777);
    EXPECT_FALSE(IsValidLanguageName(bad));
  }
  EXPECT_EQ(LanguagePositionById(0x1234), -1);
  EXPECT_TRUE(LanguageNameById(0x1234).empty());
}

TEST(LanguageTableTest, SortOrders) {
  const int austrian = LanguagePositionById(kGermanAustria);
  const int swiss_french = LanguagePositionById(kFrenchSwiss);
  SortId sort = 99;

  EXPECT_TRUE(FindSortIdByName(austrian, "German Phone Book Order", &sort));
  EXPECT_EQ(sort, kSortGermanPhoneBook);
  EXPECT_TRUE(FindSortIdByName(austrian, "german phone book order", &sort));
  EXPECT_FALSE(IsValidSortName(swiss_french, "German Phone Book Order"));
  EXPECT_EQ(SortNames(austrian).size(), 2u);
  EXPECT_EQ(SortNames(swiss_french).size(), 1u);
  EXPECT_EQ(SortNameById(austrian, kSortGermanPhoneBook), "German Phone Book Order");
  EXPECT_TRUE(SortNameById(swiss_french, kSortGermanPhoneBook).empty());

  for (int i = 0; i < kLanguageCount; ++i) {
    sort = 99;
    EXPECT_TRUE(FindSortIdByName(i, "DEFAULT ORDER", &sort)) << LanguageAt(i).name;
    EXPECT_EQ(sort, kSortDefault);
    EXPECT_EQ(SortNames(i).front(), "Default Order");
  }
  EXPECT_FALSE(IsValidSortName(-1, "Default Order"));
  EXPECT_FALSE(IsValidSortName(kLanguageCount, "Default Order"));
  EXPECT_FALSE(IsValidSortName(0, "Binary Order"));
}

TEST(LanguageTableTest, LocalesAndInstalledCheck) {
  EXPECT_EQ(MakeLocaleId(0x0407, kSortGermanPhoneBook), 0x00010407u);
  EXPECT_EQ(IcuLocaleName(0x0407, kSortGermanPhoneBook), "de_DE@collation=phonebook");
  EXPECT_EQ(IcuLocaleName(kPortugueseBrazil, kSortDefault), "pt_BR");
  EXPECT_TRUE(IcuLocaleName(kLanguageAnsiStandard, kSortDefault).empty());

  EXPECT_TRUE(IsLanguageInstalled(kLanguageAnsiStandard, kSortDefault));
  EXPECT_TRUE(IsLanguageInstalled(kLanguageAnsiStandard, 7));
  EXPECT_TRUE(IsLanguageInstalled(kGermanAustria, kSortGermanPhoneBook));
  EXPECT_FALSE(IsLanguageInstalled(kPortugueseBrazil, kSortGermanPhoneBook));
  EXPECT_FALSE(IsLanguageInstalled(0x1234, kSortDefault));
  EXPECT_FALSE(IsLanguageInstalled(kPortugueseBrazil, 5));
}

}  // namespace
}  // namespace ficha
