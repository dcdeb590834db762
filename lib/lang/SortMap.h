// The 256-character sort map of a (language, sort) pair: entry i is the
// character at position i when all 256 single-byte characters are ordered by
// CompareChar (entry 0 the lowest, entry 255 the highest). Partial keys pad
// text fields with entry 0 for a lower bound and entry 255 for an upper bound.
// For language 0 the map is the identity.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "lib/lang/LanguageTable.h"

namespace ficha {

using SortMap = std::array<unsigned char, 256>;

// Process-wide cache of sort maps, guarded by its own lock. A miss builds the
// map under the lock (characters that compare equal end in an arbitrary but
// fixed order). Maps are copied out to the caller.
class TLanguageCharMapsList {
 public:
  static TLanguageCharMapsList& Instance();

  TLanguageCharMapsList(const TLanguageCharMapsList&) = delete;
  TLanguageCharMapsList& operator=(const TLanguageCharMapsList&) = delete;

  SortMap Get(LanguageId language, SortId sort);
  size_t Count();  // maps built so far

 private:
  struct Entry {
    LanguageId language;
    SortId sort;
    SortMap map;
  };

  TLanguageCharMapsList();

  std::mutex mutex_;
  std::vector<Entry> entries_;
};

// Shorthand for TLanguageCharMapsList::Instance().Get(language, sort).
SortMap GetSortMap(LanguageId language, SortId sort);

}  // namespace ficha
