#include "lib/lang/CaseFolding.h"

#include <unicode/unistr.h>

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "lib/lang/AnsiCase.h"
#include "lib/lang/Cp1252.h"
#include "lib/lang/IcuCollators.h"

namespace ficha {

namespace {

struct CaseMaps {
  ByteMap upper;
  ByteMap lower;
};

// The 1252 byte of a one-character mapping result, or false when ICU mapped
// to several characters or to one that 1252 lacks.
bool SingleCp1252(const icu::UnicodeString& s, unsigned char* out) {
  if (s.countChar32() != 1) return false;
  return UnicodeToCp1252(static_cast<char32_t>(s.char32At(0)), out);
}

unsigned char MapChar(unsigned char c, bool upper, const icu::Locale& locale) {
  icu::UnicodeString s(static_cast<UChar>(Cp1252ToUnicode(c)));
  icu::UnicodeString localized = s;
  if (upper) {
    localized.toUpper(locale);
  } else {
    localized.toLower(locale);
  }
  unsigned char out;
  if (SingleCp1252(localized, &out)) return out;
  // E.g. Turkish dotted capital I: fall back to the language-neutral mapping.
  icu::UnicodeString neutral = s;
  if (upper) {
    neutral.toUpper(icu::Locale::getRoot());
  } else {
    neutral.toLower(icu::Locale::getRoot());
  }
  if (SingleCp1252(neutral, &out)) return out;
  return c;
}

std::unique_ptr<CaseMaps> BuildCaseMaps(LanguageId language, SortId sort) {
  auto maps = std::make_unique<CaseMaps>();
  icu::Locale locale = IcuCaseLocale(language, sort);
  for (int c = 0; c < 256; ++c) {
    unsigned char ch = static_cast<unsigned char>(c);
    maps->upper[c] = c == 0 ? 0 : MapChar(ch, true, locale);
    maps->lower[c] = c == 0 ? 0 : MapChar(ch, false, locale);
  }
  return maps;
}

const CaseMaps& MapsFor(LanguageId language, SortId sort) {
  static const CaseMaps ansi{kAnsiUpper, kAnsiLower};
  if (language == kLanguageAnsiStandard) return ansi;

  thread_local std::pair<LanguageId, SortId> last_key{};
  thread_local const CaseMaps* last = nullptr;
  std::pair<LanguageId, SortId> key{language, sort};
  if (last != nullptr && last_key == key) return *last;

  static std::mutex* mutex = new std::mutex;
  static auto* cache = new std::map<std::pair<LanguageId, SortId>, std::unique_ptr<CaseMaps>>;
  std::lock_guard<std::mutex> lock(*mutex);
  auto it = cache->find(key);
  if (it == cache->end()) it = cache->emplace(key, BuildCaseMaps(language, sort)).first;
  last_key = key;
  last = it->second.get();
  return *last;
}

void MapText(const ByteMap& map, char* text) {
  for (; *text != '\0'; ++text) {
    *text = static_cast<char>(map[static_cast<unsigned char>(*text)]);
  }
}

void MapString(const ByteMap& map, std::string& text) {
  for (char& ch : text) ch = static_cast<char>(map[static_cast<unsigned char>(ch)]);
}

}  // namespace

unsigned char UpperChar(LanguageId language, SortId sort, unsigned char c) {
  return MapsFor(language, sort).upper[c];
}

unsigned char LowerChar(LanguageId language, SortId sort, unsigned char c) {
  return MapsFor(language, sort).lower[c];
}

void UpperCaseText(LanguageId language, SortId sort, char* text) {
  MapText(MapsFor(language, sort).upper, text);
}

void LowerCaseText(LanguageId language, SortId sort, char* text) {
  MapText(MapsFor(language, sort).lower, text);
}

void UpperCaseInPlace(LanguageId language, SortId sort, std::string& text) {
  MapString(MapsFor(language, sort).upper, text);
}

void LowerCaseInPlace(LanguageId language, SortId sort, std::string& text) {
  MapString(MapsFor(language, sort).lower, text);
}

std::string ToUpper(LanguageId language, SortId sort, std::string_view text) {
  std::string out(text);
  UpperCaseInPlace(language, sort, out);
  return out;
}

std::string ToLower(LanguageId language, SortId sort, std::string_view text) {
  std::string out(text);
  LowerCaseInPlace(language, sort, out);
  return out;
}

}  // namespace ficha
