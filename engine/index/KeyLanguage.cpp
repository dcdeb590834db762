// TKeyLanguage: the table's text rules as index keys use them.
#include <cstring>

#include "engine/index/IndexKey.h"
#include "lib/lang/CaseFolding.h"
#include "lib/lang/Collation.h"
#include "lib/lang/SortMap.h"

namespace ficha {

TKeyLanguage TKeyLanguage::Ansi() {
  TKeyLanguage l;
  for (int i = 0; i < 256; ++i) l.sort_map[i] = static_cast<uint8_t>(i);
  return l;
}

TKeyLanguage TKeyLanguage::For(uint16_t language, uint16_t sort) {
  if (language == 0) return Ansi();
  TKeyLanguage l;
  l.language = language;
  l.sort = sort;
  const SortMap map = GetSortMap(language, sort);
  std::memcpy(l.sort_map.data(), map.data(), 256);
  return l;
}

void TKeyLanguage::FoldUpper(std::string& text) const { UpperCaseInPlace(language, sort, text); }

int TKeyLanguage::CompareText(const uint8_t* a, const uint8_t* b, int n) const {
  if (n <= 0) return 0;
  if (language == 0) {
    const int r = std::memcmp(a, b, static_cast<size_t>(n));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
  }
  return ficha::CompareText(language, sort, reinterpret_cast<const char*>(a), false,
                            static_cast<size_t>(n), reinterpret_cast<const char*>(b));
}

}  // namespace ficha
