#include "lib/lang/LanguageStringList.h"

#include <algorithm>
#include <utility>

#include "common/EngineError.h"
#include "lib/lang/Collation.h"

namespace ficha {

TLanguageStringList::TLanguageStringList(LanguageId language, SortId sort)
    : language_(language), sort_(sort) {}

int TLanguageStringList::Compare(std::string_view a, std::string_view b, size_t length) const {
  return CompareText(language_, sort_, a, /*case_insensitive=*/true, length, b);
}

void TLanguageStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) SortStrings();
  sorted_ = sorted;
}

void TLanguageStringList::SortStrings() {
  std::stable_sort(
      strings_.begin(), strings_.end(),
      [this](const std::string& x, const std::string& y) { return Compare(x, y, 0) < 0; });
}

int TLanguageStringList::Add(std::string s) {
  if (!sorted_) {
    strings_.push_back(std::move(s));
    return Count() - 1;
  }
  int index;
  if (Find(s, &index)) {
    if (duplicates_ == TDuplicates::dupIgnore) return index;
    if (duplicates_ == TDuplicates::dupError) {
      throw Exception("String list does not allow duplicates");
    }
  }
  strings_.insert(strings_.begin() + index, std::move(s));
  return index;
}

void TLanguageStringList::Delete(int index) { strings_.erase(strings_.begin() + index); }

bool TLanguageStringList::Find(std::string_view s, int* index) const {
  return FindPrefix(s, 0, 0, index);
}

bool TLanguageStringList::FindPrefix(std::string_view s, int low, size_t length, int* index) const {
  bool found = false;
  int high = Count() - 1;
  if (low < 0) low = 0;
  while (low <= high) {
    int probe = low + (high - low) / 2;
    int c = Compare(strings_[probe], s, length);
    if (c < 0) {
      low = probe + 1;
    } else {
      high = probe - 1;
      if (c == 0) {
        found = true;
        // Without duplicates there is only one equal string; stop at it.
        if (duplicates_ != TDuplicates::dupAccept) low = probe;
      }
    }
  }
  *index = low;
  return found;
}

}  // namespace ficha
