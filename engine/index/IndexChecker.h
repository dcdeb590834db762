// TIndexChecker: a full consistency check of the B-trees of an index file,
// for tests and the inspection tool.
//
// For each index it walks the tree level by level from the root and checks
// page types, entry counts against capacities, key order within and across
// pages, sibling links in both directions against the order the parents
// give, separators equal to their child's first key, every count equal to
// the keys below it, equal leaf depth, and that the free chain holds only
// freed pages that no tree uses. Nothing is changed. Damaged pages are
// reported, never followed into loops.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/index/IndexFile.h"

namespace ficha {

struct TIndexCheckResult {
  std::vector<std::string> problems;  // empty when sound
  int64_t keys = 0;                   // keys in the checked indexes
  int32_t pages = 0;                  // tree pages in use
  int32_t free_pages = 0;             // pages on free chains
  int depth = 0;                      // levels of the deepest tree

  bool Ok() const { return problems.empty(); }
};

class TIndexChecker {
 public:
  // REQUIRES: file is open and outlives the checker.
  explicit TIndexChecker(TIndexFile* file) : file_(file) {}
  TIndexChecker(const TIndexChecker&) = delete;
  TIndexChecker& operator=(const TIndexChecker&) = delete;

  // Checks one index (tree and free chain).
  TIndexCheckResult CheckIndex(int index);
  // Checks every index in use, every free chain (also those a removed index
  // left behind) and that no page is used twice across the file.
  TIndexCheckResult CheckFile();

 private:
  void CheckTree(int index, std::set<int32_t>& live, TIndexCheckResult& result);
  void CheckFreeChain(int index, std::set<int32_t>& live, std::set<int32_t>& free,
                      TIndexCheckResult& result);
  void AddSettingsPages(std::set<int32_t>& live, TIndexCheckResult& result);

  TIndexFile* file_;
};

}  // namespace ficha
