// The languages a table may carry, their sort orders, and which of them the
// platform can collate.
//
// A language identifier holds the primary language in bits 0-9 and the
// sub-language in bits 10-15. Identifier 0, "ANSI Standard", compares bytes and
// folds case like English (USA); every other identifier collates through ICU
// (see IcuLocaleName for the mapping). The table is a compile-time constant,
// safe to read from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ficha {

using LanguageId = uint16_t;
using SortId = uint16_t;

constexpr LanguageId kLanguageAnsiStandard = 0x0000;
constexpr LanguageId kLanguageEnglishUsa = 0x0409;

// Sort identifiers. Every language offers the default order; the German
// languages also offer the phone-book order (umlauts sort as vowel + "e").
constexpr SortId kSortDefault = 0;
constexpr SortId kSortGermanPhoneBook = 1;

constexpr std::string_view kSortNameDefault = "Default Order";
constexpr std::string_view kSortNameGermanPhoneBook = "German Phone Book Order";

constexpr int kLanguageCount = 99;

struct LanguageEntry {
  std::string_view name;  // spelled as table definitions and SQL use it
  LanguageId id;
};

// REQUIRES: 0 <= position < kLanguageCount. Position 0 is "ANSI Standard".
const LanguageEntry& LanguageAt(int position);

// Name lookups ignore ASCII case and take the first entry that matches.
// Return -1 / false for an unknown name; the caller reports it.
int LanguagePositionByName(std::string_view name);
bool FindLanguageByName(std::string_view name, LanguageId* id);
bool IsValidLanguageName(std::string_view name);

// Position of the first entry with this identifier, -1 when none.
int LanguagePositionById(LanguageId id);
// Name of the first entry with this identifier, empty when none.
std::string_view LanguageNameById(LanguageId id);

// Sort-order names offered by the language at `position` ("Default Order"
// first). An invalid position offers none.
std::vector<std::string_view> SortNames(int position);
// Case-insensitive; false when the language does not offer that order.
bool IsValidSortName(int position, std::string_view name);
bool FindSortIdByName(int position, std::string_view name, SortId* sort);
// Name of a sort identifier for the language at `position`; empty when the
// language does not offer it.
std::string_view SortNameById(int position, SortId sort);

// Locale identifier of the platform: language + sort * 65536.
constexpr uint32_t MakeLocaleId(LanguageId language, SortId sort) {
  return static_cast<uint32_t>(language) + static_cast<uint32_t>(sort) * 65536u;
}

// ICU locale used for (language, sort), e.g. "pt_BR" or
// "de_DE@collation=phonebook"; empty for language 0 and for pairs that are
// not in the table (unknown language, or a sort the language lacks).
std::string IcuLocaleName(LanguageId language, SortId sort);

// Whether a table with this language and sort can be opened: always for
// language 0; otherwise the pair must map to an ICU locale whose collator
// ICU can build. Cheap after the first call per pair (collators are cached).
bool IsLanguageInstalled(LanguageId language, SortId sort);

}  // namespace ficha
