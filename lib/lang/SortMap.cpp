#include "lib/lang/SortMap.h"

#include <algorithm>

#include "lib/lang/Collation.h"

namespace ficha {

namespace {

SortMap BuildSortMap(LanguageId language, SortId sort) {
  SortMap map;
  for (int c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(c);
  if (language != kLanguageAnsiStandard) {
    // Collation is a strict weak order, so an unstable sort is fine; equal
    // characters keep whatever order the sort leaves them in, the same in
    // every run.
    std::sort(map.begin(), map.end(), [language, sort](unsigned char x, unsigned char y) {
      return CompareChar(language, sort, x, y) < 0;
    });
  }
  return map;
}

}  // namespace

TLanguageCharMapsList& TLanguageCharMapsList::Instance() {
  static TLanguageCharMapsList* list = new TLanguageCharMapsList;  // used until exit
  return *list;
}

TLanguageCharMapsList::TLanguageCharMapsList() { entries_.reserve(256); }

SortMap TLanguageCharMapsList::Get(LanguageId language, SortId sort) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Entry& e : entries_) {
    if (e.language == language && e.sort == sort) return e.map;
  }
  entries_.push_back(Entry{language, sort, BuildSortMap(language, sort)});
  return entries_.back().map;
}

size_t TLanguageCharMapsList::Count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

SortMap GetSortMap(LanguageId language, SortId sort) {
  return TLanguageCharMapsList::Instance().Get(language, sort);
}

}  // namespace ficha
