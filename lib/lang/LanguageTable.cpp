// The language table and the mapping of each language to an ICU locale.

#include "lib/lang/LanguageTable.h"

#include <array>

#include "lib/lang/IcuCollators.h"

namespace ficha {

namespace {

struct LanguageRow {
  LanguageEntry entry;
  // ICU locale of the default order. Windows' "Spanish (Castilian)" is the
  // traditional Spanish sort (ch and ll as letters of their own); "Spanish
  // (Modern)" the modern one. Regions that ICU knows only through their
  // language (e.g. en_029) collate as that language.
  const char* icu_locale;
};

// Position order is part of the contract: table definitions list languages by
// position and position 48..52 are the German languages.
constexpr std::array<LanguageRow, kLanguageCount> kLanguages = {{
    {{"ANSI Standard", 0x0000}, ""},
    {{"Afrikaans", 0x0436}, "af_ZA"},
    {{"Albanian", 0x041c}, "sq_AL"},
    {{"Arabic (Saudi Arabia)", 0x0401}, "ar_SA"},
    {{"Arabic (Iraq)", 0x0801}, "ar_IQ"},
    {{"Arabic (Egypt)", 0x0c01}, "ar_EG"},
    {{"Arabic (Libya)", 0x1001}, "ar_LY"},
    {{"Arabic (Algeria)", 0x1401}, "ar_DZ"},
    {{"Arabic (Morocco)", 0x1801}, "ar_MA"},
    {{"Arabic (Tunisia)", 0x1c01}, "ar_TN"},
    {{"Arabic (Oman)", 0x2001}, "ar_OM"},
    {{"Arabic (Yemen)", 0x2401}, "ar_YE"},
    {{"Arabic (Syria)", 0x2801}, "ar_SY"},
    {{"Arabic (Jordan)", 0x2c01}, "ar_JO"},
    {{"Arabic (Lebanon)", 0x3001}, "ar_LB"},
    {{"Arabic (Kuwait)", 0x3401}, "ar_KW"},
    {{"Arabic (U.A.E)", 0x3801}, "ar_AE"},
    {{"Arabic (Bahrain)", 0x3c01}, "ar_BH"},
    {{"Arabic (Qatar)", 0x4001}, "ar_QA"},
    {{"Basque", 0x042d}, "eu_ES"},
    {{"Belarusian", 0x0423}, "be_BY"},
    {{"Bulgarian", 0x0402}, "bg_BG"},
    {{"Catalan", 0x0403}, "ca_ES"},
    {{"Croatian", 0x041a}, "hr_HR"},
    {{"Czech", 0x0405}, "cs_CZ"},
    {{"Danish", 0x0406}, "da_DK"},
    {{"Dutch (Standard)", 0x0413}, "nl_NL"},
    {{"Dutch (Belgian)", 0x0813}, "nl_BE"},
    {{"English (USA)", 0x0409}, "en_US"},
    {{"English (UK)", 0x0809}, "en_GB"},
    {{"English (Australian)", 0x0c09}, "en_AU"},
    {{"English (Canadian)", 0x1009}, "en_CA"},
    {{"English (New Zealand)", 0x1409}, "en_NZ"},
    {{"English (Irish)", 0x1809}, "en_IE"},
    {{"English (South Africa)", 0x1c09}, "en_ZA"},
    {{"English (Jamaica)", 0x2009}, "en_JM"},
    {{"English (Caribbean)", 0x2409}, "en_029"},
    {{"English (Belize)", 0x2809}, "en_BZ"},
    {{"English (Trinidad)", 0x2c09}, "en_TT"},
    {{"Estonian", 0x0425}, "et_EE"},
    {{"Faeroese", 0x0438}, "fo_FO"},
    {{"Farsi", 0x0429}, "fa_IR"},
    {{"Finnish", 0x040b}, "fi_FI"},
    {{"French (Standard)", 0x040c}, "fr_FR"},
    {{"French (Belgian)", 0x080c}, "fr_BE"},
    {{"French (Canadian)", 0x0c0c}, "fr_CA"},
    {{"French (Swiss)", 0x100c}, "fr_CH"},
    {{"French (Luxembourg)", 0x140c}, "fr_LU"},
    {{"German (Standard)", 0x0407}, "de_DE"},
    {{"German (Swiss)", 0x0807}, "de_CH"},
    {{"German (Austrian)", 0x0c07}, "de_AT"},
    {{"German (Luxembourg)", 0x1007}, "de_LU"},
    {{"German (Liechtenstein)", 0x1407}, "de_LI"},
    {{"Greek", 0x0408}, "el_GR"},
    {{"Hebrew", 0x040d}, "he_IL"},
    {{"Hungarian", 0x040e}, "hu_HU"},
    {{"Icelandic", 0x040f}, "is_IS"},
    {{"Indonesian", 0x0421}, "id_ID"},
    {{"Italian (Standard)", 0x0410}, "it_IT"},
    {{"Italian (Swiss)", 0x0810}, "it_CH"},
    {{"Latvian", 0x0426}, "lv_LV"},
    {{"Lithuanian", 0x0427}, "lt_LT"},
    {{"Norwegian (Bokmal)", 0x0414}, "nb_NO"},
    {{"Norwegian (Nynorsk)", 0x0814}, "nn_NO"},
    {{"Polish", 0x0415}, "pl_PL"},
    {{"Portuguese (Standard)", 0x0816}, "pt_PT"},
    {{"Portuguese (Brazilian)", 0x0416}, "pt_BR"},
    {{"Romanian", 0x0418}, "ro_RO"},
    {{"Russian", 0x0419}, "ru_RU"},
    {{"Serbian (Latin)", 0x081a}, "sr_Latn_RS"},
    {{"Serbian (Cyrillic)", 0x0c1a}, "sr_Cyrl_RS"},
    {{"Slovak", 0x041b}, "sk_SK"},
    {{"Slovenian", 0x0424}, "sl_SI"},
    {{"Spanish (Castilian)", 0x040a}, "es_ES@collation=traditional"},
    {{"Spanish (Mexican)", 0x080a}, "es_MX"},
    {{"Spanish (Modern)", 0x0c0a}, "es_ES"},
    {{"Spanish (Guatemala)", 0x100a}, "es_GT"},
    {{"Spanish (Costa Rica)", 0x140a}, "es_CR"},
    {{"Spanish (Panama)", 0x180a}, "es_PA"},
    {{"Spanish (Dominican Republic)", 0x1c0a}, "es_DO"},
    {{"Spanish (Venezuela)", 0x200a}, "es_VE"},
    {{"Spanish (Colombia)", 0x240a}, "es_CO"},
    {{"Spanish (Peru)", 0x280a}, "es_PE"},
    {{"Spanish (Argentina)", 0x2c0a}, "es_AR"},
    {{"Spanish (Ecuador)", 0x300a}, "es_EC"},
    {{"Spanish (Chile)", 0x340a}, "es_CL"},
    {{"Spanish (Uruguay)", 0x380a}, "es_UY"},
    {{"Spanish (Paraguay)", 0x3c0a}, "es_PY"},
    {{"Spanish (Bolivia)", 0x400a}, "es_BO"},
    {{"Spanish (El Salvador)", 0x440a}, "es_SV"},
    {{"Spanish (Honduras)", 0x480a}, "es_HN"},
    {{"Spanish (Nicaragua)", 0x4c0a}, "es_NI"},
    {{"Spanish (Puerto Rico)", 0x500a}, "es_PR"},
    {{"Swedish (Standard)", 0x041d}, "sv_SE"},
    {{"Swedish (Finland)", 0x081d}, "sv_FI"},
    {{"Thai", 0x041e}, "th_TH"},
    {{"Turkish", 0x041f}, "tr_TR"},
    {{"Ukranian", 0x0422}, "uk_UA"},
    {{"Vietnamese", 0x042a}, "vi_VN"},
}};

constexpr int kFirstGerman = 48;
constexpr int kLastGerman = 52;

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool ValidPosition(int position) { return position >= 0 && position < kLanguageCount; }

bool OffersPhoneBook(int position) { return position >= kFirstGerman && position <= kLastGerman; }

}  // namespace

const LanguageEntry& LanguageAt(int position) { return kLanguages[position].entry; }

int LanguagePositionByName(std::string_view name) {
  for (int i = 0; i < kLanguageCount; ++i) {
    if (EqualsIgnoreAsciiCase(kLanguages[i].entry.name, name)) return i;
  }
  return -1;
}

bool FindLanguageByName(std::string_view name, LanguageId* id) {
  int position = LanguagePositionByName(name);
  if (position < 0) return false;
  *id = kLanguages[position].entry.id;
  return true;
}

bool IsValidLanguageName(std::string_view name) { return LanguagePositionByName(name) >= 0; }

int LanguagePositionById(LanguageId id) {
  for (int i = 0; i < kLanguageCount; ++i) {
    if (kLanguages[i].entry.id == id) return i;
  }
  return -1;
}

std::string_view LanguageNameById(LanguageId id) {
  int position = LanguagePositionById(id);
  return position < 0 ? std::string_view() : kLanguages[position].entry.name;
}

std::vector<std::string_view> SortNames(int position) {
  std::vector<std::string_view> names;
  if (!ValidPosition(position)) return names;
  names.push_back(kSortNameDefault);
  if (OffersPhoneBook(position)) names.push_back(kSortNameGermanPhoneBook);
  return names;
}

bool IsValidSortName(int position, std::string_view name) {
  SortId unused;
  return FindSortIdByName(position, name, &unused);
}

bool FindSortIdByName(int position, std::string_view name, SortId* sort) {
  if (!ValidPosition(position)) return false;
  if (EqualsIgnoreAsciiCase(name, kSortNameDefault)) {
    *sort = kSortDefault;
    return true;
  }
  if (OffersPhoneBook(position) && EqualsIgnoreAsciiCase(name, kSortNameGermanPhoneBook)) {
    *sort = kSortGermanPhoneBook;
    return true;
  }
  return false;
}

std::string_view SortNameById(int position, SortId sort) {
  if (!ValidPosition(position)) return {};
  if (sort == kSortDefault) return kSortNameDefault;
  if (sort == kSortGermanPhoneBook && OffersPhoneBook(position)) return kSortNameGermanPhoneBook;
  return {};
}

std::string IcuLocaleName(LanguageId language, SortId sort) {
  if (language == kLanguageAnsiStandard) return {};
  int position = LanguagePositionById(language);
  if (position < 0) return {};
  std::string name = kLanguages[position].icu_locale;
  if (sort == kSortDefault) return name;
  if (sort == kSortGermanPhoneBook && OffersPhoneBook(position)) {
    return name + "@collation=phonebook";
  }
  return {};
}

bool IsLanguageInstalled(LanguageId language, SortId sort) {
  if (language == kLanguageAnsiStandard) return true;
  if (IcuLocaleName(language, sort).empty()) return false;
  return GetIcuCollator(language, sort, /*case_insensitive=*/false) != nullptr;
}

}  // namespace ficha
