// A sorted list of strings ordered by a language's case-insensitive text
// comparison (used e.g. for the stop words of text indexes).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lib/lang/LanguageTable.h"

namespace ficha {

// What Add does with a string equal to one already in a sorted list.
enum class TDuplicates {
  dupIgnore,  // keep the existing one, return its position
  dupAccept,  // insert it as well
  dupError,   // raise Exception("String list does not allow duplicates")
};

// Strings compare with CompareText(language, sort, a, case-insensitive,
// length 0, b). Not thread-safe; copyable.
class TLanguageStringList {
 public:
  TLanguageStringList(LanguageId language, SortId sort);

  LanguageId Language() const { return language_; }
  SortId Sort() const { return sort_; }

  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }

  // A new list is sorted. Switching sorting on sorts the strings; while it is
  // off Add appends.
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  void SortStrings();

  // Returns the position of the string (see TDuplicates).
  int Add(std::string s);
  void Delete(int index);  // REQUIRES: 0 <= index < Count()
  void Clear() { strings_.clear(); }
  int Count() const { return static_cast<int>(strings_.size()); }
  const std::string& operator[](int index) const { return strings_[index]; }

  // Binary search. REQUIRES: Sorted(). True when found; *index is then the
  // position of the first equal string, else the position where s would be
  // inserted.
  bool Find(std::string_view s, int* index) const;

  // Binary search from position `low` on, comparing only the first `length`
  // characters (length 0: whole strings). Same result convention as Find.
  bool FindPrefix(std::string_view s, int low, size_t length, int* index) const;

 private:
  int Compare(std::string_view a, std::string_view b, size_t length) const;

  LanguageId language_;
  SortId sort_;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
  bool sorted_ = true;
  std::vector<std::string> strings_;
};

}  // namespace ficha
