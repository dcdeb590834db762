#include "engine/index/IndexChecker.h"

#include <cstring>

#include "common/EngineError.h"

namespace ficha {

namespace {

std::string PageText(int index, int32_t page) {
  return "index " + std::to_string(index) + " page " + std::to_string(page);
}

// Unpins a page when the check of it ends.
struct TPagePin {
  TIndexFile* file;
  TPage* page;
  ~TPagePin() { file->ReleasePage(page); }
};

}  // namespace

void TIndexChecker::CheckTree(int index, std::set<int32_t>& live, TIndexCheckResult& result) {
  const int32_t root = file_->RootPage(index);
  if (root == 0) return;
  const TKeyDescriptor& keys = file_->Keys(index);
  const int k = keys.KeySize();
  const int32_t limit = file_->NextPageNumber();
  const bool temporary = file_->IndexDefinition(index).temporary;
  auto problem = [&](int32_t page, const std::string& text) {
    result.problems.push_back(PageText(index, page) + ": " + text);
  };

  struct TExpect {
    int32_t page;
    std::vector<uint8_t> separator;  // empty for the root
    int64_t count;                   // -1 when not checked
  };
  std::vector<TExpect> level{{root, {}, -1}};
  std::vector<uint8_t> last_key;
  int64_t leaf_keys = 0;
  for (int depth = 0; !level.empty(); ++depth) {
    if (depth >= kMaxIndexDepth) {
      problem(root, "tree deeper than " + std::to_string(kMaxIndexDepth) + " levels");
      return;
    }
    result.depth = std::max(result.depth, depth + 1);
    std::vector<TExpect> below;
    last_key.clear();
    bool level_is_leaf = false;
    for (size_t j = 0; j < level.size(); ++j) {
      const int32_t p = level[j].page;
      if (p <= 0 || (!temporary && p >= limit)) {
        problem(p, "page number outside the file");
        return;
      }
      if (!temporary && !live.insert(p).second) {
        problem(p, "page used twice");
        return;
      }
      TPage* page = nullptr;
      try {
        file_->GetPage(nullptr, index, p, &page);
      } catch (const EFichaEngineError& e) {
        problem(p, "unreadable (" + std::to_string(e.ErrorCode()) + ")");
        return;
      }
      TPagePin pin{file_, page};
      ++result.pages;
      if (page->Freed() || page->Count() == 0) {
        problem(p, "empty or freed page inside the tree");
        return;
      }
      if (page->IsRoot() != (depth == 0))
        problem(p, "wrong page type " + std::to_string(page->Type()));
      if (j == 0) level_is_leaf = page->IsLeaf();
      if (page->IsLeaf() != level_is_leaf) {
        problem(p, "leaves and inner pages mixed on one level");
        return;
      }
      if (page->Overflows()) problem(p, "more entries than the page holds");
      const int32_t want_prev = j == 0 ? 0 : level[j - 1].page;
      const int32_t want_next = j + 1 == level.size() ? 0 : level[j + 1].page;
      if (page->Prev() != want_prev)
        problem(p, "previous link " + std::to_string(page->Prev()) + ", expected " +
                       std::to_string(want_prev));
      if (page->Next() != want_next)
        problem(p, "next link " + std::to_string(page->Next()) + ", expected " +
                       std::to_string(want_next));
      if (!level[j].separator.empty() &&
          std::memcmp(level[j].separator.data(), page->Key(1), static_cast<size_t>(k)) != 0)
        problem(p, "parent's separator differs from the first key");
      if (level[j].count >= 0 && level[j].count != page->Total())
        problem(p, "parent's count " + std::to_string(level[j].count) + ", keys below " +
                       std::to_string(page->Total()));
      for (int e = 1; e <= page->Count(); ++e) {
        const uint8_t* key =
            e == 1 ? (last_key.empty() ? nullptr : last_key.data()) : page->Key(e - 1);
        if (key != nullptr && keys.Compare(key, page->Key(e)) > 0)
          problem(p, "keys out of order at entry " + std::to_string(e));
      }
      last_key.assign(page->Key(page->Count()), page->Key(page->Count()) + k);
      if (page->IsLeaf()) {
        leaf_keys += page->Count();
        continue;
      }
      // Counts below an inner page are checked against the child's total,
      // which for inner children is in turn checked one level down.
      for (int e = 1; e <= page->Count(); ++e) {
        below.push_back({page->Value(e), std::vector<uint8_t>(page->Key(e), page->Key(e) + k),
                         page->HasCounts() ? page->KeyCount(e) : -1});
      }
    }
    level = std::move(below);
  }
  result.keys += leaf_keys;
}

void TIndexChecker::CheckFreeChain(int index, std::set<int32_t>& live, std::set<int32_t>& free,
                                   TIndexCheckResult& result) {
  const TIndexDef def = file_->IndexDefinition(index);
  if (def.temporary) return;
  const int32_t limit = file_->NextPageNumber();
  int32_t p = def.first_free_page;
  while (p != 0) {
    if (p < 0 || p >= limit) {
      result.problems.push_back(PageText(index, p) + ": free chain leaves the file");
      return;
    }
    if (live.count(p)) {
      result.problems.push_back(PageText(index, p) + ": page on the free chain is in use");
      return;
    }
    if (!free.insert(p).second) {
      result.problems.push_back(PageText(index, p) + ": free chain runs in a circle");
      return;
    }
    TPage* page = nullptr;
    try {
      file_->GetPage(nullptr, index, p, &page);
    } catch (const EFichaEngineError& e) {
      result.problems.push_back(PageText(index, p) + ": unreadable free page (" +
                                std::to_string(e.ErrorCode()) + ")");
      return;
    }
    TPagePin pin{file_, page};
    ++result.free_pages;
    if (!page->Freed()) {
      result.problems.push_back(PageText(index, p) + ": page on the free chain holds entries");
      return;
    }
    p = page->Next();
  }
}

void TIndexChecker::AddSettingsPages(std::set<int32_t>& live, TIndexCheckResult& result) {
  try {
    file_->ReadTextIndexSettings();
  } catch (const EFichaEngineError& e) {
    result.problems.push_back("text index settings unreadable (" + std::to_string(e.ErrorCode()) +
                              ")");
    return;
  }
  // The chain decoded, so its links are sound; record its pages as in use.
  for (int32_t p : file_->TextIndexSettingsPages())
    if (!live.insert(p).second)
      result.problems.push_back(PageText(kSysTextIndex, p) + ": settings page used twice");
}

TIndexCheckResult TIndexChecker::CheckIndex(int index) {
  TIndexCheckResult result;
  std::set<int32_t> live, free;
  CheckTree(index, live, result);
  CheckFreeChain(index, live, free, result);
  return result;
}

TIndexCheckResult TIndexChecker::CheckFile() {
  TIndexCheckResult result;
  std::set<int32_t> live, free;
  for (int i = 0; i < kIndexSlotCount; ++i)
    if (file_->IndexInUse(i)) CheckTree(i, live, result);
  AddSettingsPages(live, result);
  for (int i = 0; i < kIndexSlotCount; ++i) CheckFreeChain(i, live, free, result);
  return result;
}

}  // namespace ficha
