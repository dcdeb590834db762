// TIndexFile: the B-tree operations (search, insert with splits, delete with
// merges and redistribution) and the text index's settings chain.
//
// Every walk keeps the pages it visits pinned until it ends, so that the
// cache never evicts a page an operation still holds. Inner entries carry
// the first key of their child; their counts equal the keys below them.
#include <algorithm>
#include <array>
#include <cstring>
#include <set>

#include "common/EngineError.h"
#include "common/ErrorCodes.h"
#include "engine/data/Scramble.h"
#include "engine/index/IndexFile.h"

namespace ficha {

// Pages pinned by one operation, unpinned when it ends (also on errors).
struct TIndexFile::TPinnedPages {
  std::vector<TPage*> pages;
  TPinnedPages() = default;
  TPinnedPages(const TPinnedPages&) = delete;
  TPinnedPages& operator=(const TPinnedPages&) = delete;
  ~TPinnedPages() {
    for (TPage* p : pages) p->Unpin();
  }
  // Forgets one pin of page (the caller dropped it).
  void Forget(TPage* page) {
    auto it = std::find(pages.begin(), pages.end(), page);
    if (it != pages.end()) pages.erase(it);
  }
};

TPage* TIndexFile::TreePage(int index, int32_t p, TPinnedPages& pins) {
  const bool temporary = IsTemporaryIndex(index) && temp_file_;
  const int32_t next = temporary ? temp_next_page_ : NextPageNumber();
  if (p <= 0 || p >= next) RaiseTable(FICHA_INDEXCORRUPT);
  TPage* page = nullptr;
  GetPage(nullptr, index, p, &page);
  pins.pages.push_back(page);
  // A freed or empty page inside a tree means broken links.
  if (page->Freed() || page->Count() == 0) RaiseTable(FICHA_INDEXCORRUPT);
  return page;
}

int TIndexFile::SearchPage(const TKeyDescriptor& keys, const TPage* page, const uint8_t* key, int n,
                           bool* exact) const {
  int lo = 1, hi = page->Count();
  *exact = false;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int c = keys.Compare(page->Key(mid), key, n);
    if (c < 0) {
      lo = mid + 1;
    } else if (c == 0) {
      *exact = true;
      return mid;
    } else {
      hi = mid - 1;
    }
  }
  return hi;
}

bool TIndexFile::Search(TRequestingCursor* cursor, int index, const uint8_t* key, int n,
                        std::vector<TIndexPathStep>* path, bool* exact) {
  path->clear();
  *exact = false;
  int32_t p = RootPage(index);
  if (p == 0) return true;
  const TKeyDescriptor& keys = Keys(index);
  TPinnedPages pins;
  const bool temporary = IsTemporaryIndex(index) && temp_file_;
  for (int depth = 0;; ++depth) {
    if (depth >= kMaxIndexDepth) RaiseTable(FICHA_INDEXCORRUPT);
    const int32_t next = temporary ? temp_next_page_ : NextPageNumber();
    if (p <= 0 || p >= next) RaiseTable(FICHA_INDEXCORRUPT);
    TPage* page = nullptr;
    if (!GetPage(cursor, index, p, &page)) {
      path->clear();
      return false;
    }
    pins.pages.push_back(page);
    if (page->Freed() || page->Count() == 0 || page->IsRoot() != (depth == 0))
      RaiseTable(FICHA_INDEXCORRUPT);
    bool hit = false;
    int pos = SearchPage(keys, page, key, n, &hit);
    if (page->IsLeaf()) {
      path->push_back({p, pos});
      *exact = hit;
      return true;
    }
    if (pos < 1) pos = 1;
    path->push_back({p, pos});
    p = page->Value(pos);
  }
}

void TIndexFile::UpdateSeparators(std::vector<TPage*>& pages, std::vector<int>& positions,
                                  int level) {
  for (int l = level; l > 0; --l) {
    TPage* parent = pages[l - 1];
    const int pos = positions[l - 1];
    parent->ReplaceKey(pos, pages[l]->Key(1));
    parent->SetDirty();
    if (pos != 1) break;
  }
}

void TIndexFile::InsertKey(int index, const uint8_t* key, int32_t record) {
  if (!IndexInUse(index)) RaiseTable(FICHA_INDEXCORRUPT);
  const TKeyDescriptor& keys = Keys(index);
  const int32_t root = RootPage(index);
  if (root == 0) {
    TPage* page = NewPage(index);
    page->SetType(kPageRootLeaf);
    page->InsertEntry(1, key, record, 0);
    page->SetDirty();
    SetRootPage(index, page->Number());
    ReleasePage(page);
    return;
  }
  TPinnedPages pins;
  std::vector<TPage*> pages;
  std::vector<int> positions;
  DescendToLeaf(index, root, keys, key, pages, positions, pins);
  TPage* page = pages.back();
  const int level = static_cast<int>(pages.size()) - 1;
  ++positions[level];  // the new entry goes after the last one not above it
  AdjustCountsAbove(pages, positions, level, +1);
  page->InsertEntry(positions[level], key, record, 0);
  page->SetDirty();
  if (positions[level] == 1) UpdateSeparators(pages, positions, level);
  if (page->Overflows()) SplitPage(index, pages, positions, level, pins);
}

bool TIndexFile::DescendToLeaf(int index, int32_t root, const TKeyDescriptor& keys,
                               const uint8_t* key, std::vector<TPage*>& pages,
                               std::vector<int>& positions, TPinnedPages& pins) {
  const int k = keys.KeySize();
  int32_t p = root;
  for (;;) {
    if (static_cast<int>(pages.size()) >= kMaxIndexDepth) RaiseTable(FICHA_INDEXCORRUPT);
    TPage* page = TreePage(index, p, pins);
    if (page->IsRoot() != pages.empty()) RaiseTable(FICHA_INDEXCORRUPT);
    bool exact;
    int pos = SearchPage(keys, page, key, k, &exact);
    if (page->IsLeaf()) {
      pages.push_back(page);
      positions.push_back(pos);
      return exact;
    }
    if (pos < 1) pos = 1;
    pages.push_back(page);
    positions.push_back(pos);
    p = page->Value(pos);
  }
}

void TIndexFile::AdjustCountsAbove(std::vector<TPage*>& pages, const std::vector<int>& positions,
                                   int level, int delta) {
  for (int l = 0; l < level; ++l) {
    if (!pages[l]->HasCounts()) continue;
    pages[l]->SetKeyCount(positions[l], pages[l]->KeyCount(positions[l]) + delta);
    pages[l]->SetDirty();
  }
}

void TIndexFile::SplitPage(int index, std::vector<TPage*>& pages, std::vector<int>& positions,
                           int level, TPinnedPages& pins) {
  TPage* x = pages[level];
  const bool was_root = x->IsRoot();
  const bool leaf = x->IsLeaf();
  // Take every page needed before changing anything; the new sibling comes
  // before a new root in the page numbering.
  TPage* next = x->Next() != 0 ? TreePage(index, x->Next(), pins) : nullptr;
  TPage* y = NewPage(index);
  pins.pages.push_back(y);
  TPage* root = nullptr;
  if (was_root) {
    root = NewPage(index);
    pins.pages.push_back(root);
  }

  const int n = x->Count();
  const int move = n / 2;
  x->MoveEntriesTo(*y, n - move + 1, move, 1);
  x->SetType(leaf ? kPageLeaf : kPageInner);
  y->SetType(leaf ? kPageLeaf : kPageInner);
  if (next != nullptr) {
    next->SetPrev(y->Number());
    next->SetDirty();
  }
  y->SetPrev(x->Number());
  y->SetNext(x->Next());
  x->SetNext(y->Number());
  x->SetDirty();
  y->SetDirty();
  if (leaf && x->IsCompressedLeaf()) {
    while (x->Overflows() && x->Count() > 1) x->MoveEntriesTo(*y, x->Count(), 1, 1);
    while (y->Overflows() && y->Count() > 1) y->MoveEntriesTo(*x, 1, 1, x->Count() + 1);
    if (x->Overflows() || y->Overflows()) RaiseTable(FICHA_INDEXCORRUPT);
  }
  const bool counts = !x->Format().no_counts;
  if (was_root) {
    root->SetType(kPageRootInner);
    root->InsertEntry(1, x->Key(1), x->Number(), counts ? static_cast<int32_t>(x->Total()) : 0);
    root->InsertEntry(2, y->Key(1), y->Number(), counts ? static_cast<int32_t>(y->Total()) : 0);
    root->SetDirty();
    SetRootPage(index, root->Number());
    return;
  }
  TPage* parent = pages[level - 1];
  const int pos = positions[level - 1];
  if (counts) parent->SetKeyCount(pos, static_cast<int32_t>(x->Total()));
  parent->InsertEntry(pos + 1, y->Key(1), y->Number(),
                      counts ? static_cast<int32_t>(y->Total()) : 0);
  parent->SetDirty();
  if (parent->Overflows()) SplitPage(index, pages, positions, level - 1, pins);
}

void TIndexFile::DeleteKey(int index, const uint8_t* key) {
  if (!IndexInUse(index)) RaiseTable(FICHA_INDEXCORRUPT);
  const TKeyDescriptor& keys = Keys(index);
  const int k = keys.KeySize();
  const int32_t root = RootPage(index);
  if (root == 0) RaiseTable(FICHA_INDEXCORRUPT);
  TPinnedPages pins;
  std::vector<TPage*> pages;
  std::vector<int> positions;
  const bool exact = DescendToLeaf(index, root, keys, key, pages, positions, pins);
  TPage* page = pages.back();
  const int level = static_cast<int>(pages.size()) - 1;
  if (!exact) RaiseTable(FICHA_INDEXCORRUPT);
  // Keys that compare equal under a locale may still differ in their bytes;
  // take the entry that is the very key when there is one.
  int pos = positions[level];
  if (std::memcmp(page->Key(pos), key, static_cast<size_t>(k)) != 0) {
    for (int q = pos - 1; q >= 1 && keys.Compare(page->Key(q), key, k) == 0; --q)
      if (std::memcmp(page->Key(q), key, static_cast<size_t>(k)) == 0) pos = q;
    for (int q = pos + 1; q <= page->Count() && keys.Compare(page->Key(q), key, k) == 0; ++q)
      if (std::memcmp(page->Key(q), key, static_cast<size_t>(k)) == 0) pos = q;
  }
  positions[level] = pos;
  AdjustCountsAbove(pages, positions, level, -1);
  page->RemoveEntry(positions[level]);
  page->SetDirty();
  AfterRemove(index, pages, positions, level, positions[level], pins);
}

void TIndexFile::AfterRemove(int index, std::vector<TPage*>& pages, std::vector<int>& positions,
                             int level, int removed, TPinnedPages& pins) {
  TPage* x = pages[level];
  if (level == 0) {
    if (x->Count() == 0) {
      pins.Forget(x);
      FreePage(x);
      SetRootPage(index, 0);
    } else if (!x->IsLeaf() && x->Count() == 1) {
      CollapseRoot(index, pins);
    }
    return;
  }
  if (x->Count() > 0 && removed == 1) UpdateSeparators(pages, positions, level);
  if (x->IsCompressedLeaf()) {
    // Compressed leaves are only taken out when they run empty.
    if (x->Count() == 0) {
      Unlink(index, x, pins);
      pins.Forget(x);
      FreePage(x);
      TPage* parent = pages[level - 1];
      const int pos = positions[level - 1];
      parent->RemoveEntry(pos);
      parent->SetDirty();
      AfterRemove(index, pages, positions, level - 1, pos, pins);
    }
    return;
  }
  if (x->Count() >= x->Capacity() / 2) return;
  Rebalance(index, pages, positions, level, pins);
}

void TIndexFile::Rebalance(int index, std::vector<TPage*>& pages, std::vector<int>& positions,
                           int level, TPinnedPages& pins) {
  TPage* x = pages[level];
  TPage* parent = pages[level - 1];
  const int pos = positions[level - 1];
  // Only a parent's own children are combined; a non-root inner page always
  // has several of them.
  if (parent->Count() < 2) return;
  const bool with_next = pos == 1;
  const int npos = with_next ? 2 : pos - 1;
  TPage* n = TreePage(index, parent->Value(npos), pins);
  if (n->IsLeaf() != x->IsLeaf() || (with_next ? x->Next() : x->Prev()) != n->Number())
    RaiseTable(FICHA_INDEXCORRUPT);
  const bool counts = parent->HasCounts();
  if (x->Count() + n->Count() < x->Capacity()) {
    // Everything goes into the neighbour; x leaves the level.
    const int32_t other = with_next ? x->Prev() : x->Next();
    TPage* o = other != 0 ? TreePage(index, other, pins) : nullptr;
    if (with_next) {
      x->MoveEntriesTo(*n, 1, x->Count(), 1);
      n->SetPrev(other);
      if (o) o->SetNext(n->Number());
      parent->ReplaceKey(npos, n->Key(1));
    } else {
      x->MoveEntriesTo(*n, 1, x->Count(), n->Count() + 1);
      n->SetNext(other);
      if (o) o->SetPrev(n->Number());
    }
    n->SetDirty();
    if (o) o->SetDirty();
    if (counts) parent->SetKeyCount(npos, static_cast<int32_t>(n->Total()));
    pins.Forget(x);
    FreePage(x);
    parent->RemoveEntry(pos);
    parent->SetDirty();
    AfterRemove(index, pages, positions, level - 1, pos, pins);
    return;
  }
  const int total = x->Count() + n->Count();
  if (with_next) {
    const int keep = total / 2;
    if (x->Count() < keep)
      n->MoveEntriesTo(*x, 1, keep - x->Count(), x->Count() + 1);
    else if (x->Count() > keep)
      x->MoveEntriesTo(*n, keep + 1, x->Count() - keep, 1);
    parent->ReplaceKey(npos, n->Key(1));
  } else {
    const int keep = (total + 1) / 2;
    if (n->Count() > keep)
      n->MoveEntriesTo(*x, keep + 1, n->Count() - keep, 1);
    else if (n->Count() < keep)
      x->MoveEntriesTo(*n, 1, keep - n->Count(), n->Count() + 1);
    parent->ReplaceKey(pos, x->Key(1));
  }
  if (counts) {
    parent->SetKeyCount(pos, static_cast<int32_t>(x->Total()));
    parent->SetKeyCount(npos, static_cast<int32_t>(n->Total()));
  }
  x->SetDirty();
  n->SetDirty();
  parent->SetDirty();
}

void TIndexFile::Unlink(int index, TPage* page, TPinnedPages& pins) {
  TPage* prev = page->Prev() != 0 ? TreePage(index, page->Prev(), pins) : nullptr;
  TPage* next = page->Next() != 0 ? TreePage(index, page->Next(), pins) : nullptr;
  if (prev) {
    prev->SetNext(page->Next());
    prev->SetDirty();
  }
  if (next) {
    next->SetPrev(page->Prev());
    next->SetDirty();
  }
}

void TIndexFile::CollapseRoot(int index, TPinnedPages& pins) {
  for (int guard = 0; guard < kMaxIndexDepth; ++guard) {
    TPage* root = TreePage(index, RootPage(index), pins);
    if (root->IsLeaf() || root->Count() != 1) return;
    TPage* child = TreePage(index, root->Value(1), pins);
    child->SetType(child->IsLeaf() ? kPageRootLeaf : kPageRootInner);
    child->SetPrev(0);
    child->SetNext(0);
    child->SetDirty();
    pins.Forget(root);
    FreePage(root);
    SetRootPage(index, child->Number());
  }
}

int64_t TIndexFile::KeyCount(int index) {
  const int32_t root = RootPage(index);
  if (root == 0) return 0;
  TPinnedPages pins;
  TPage* page = TreePage(index, root, pins);
  if (page->IsLeaf()) return page->Count();
  if (page->HasCounts()) return page->Total();
  // No counts: walk down the left edge, then along the leaves.
  for (int depth = 0; !page->IsLeaf(); ++depth) {
    if (depth >= kMaxIndexDepth) RaiseTable(FICHA_INDEXCORRUPT);
    page = TreePage(index, page->Value(1), pins);
  }
  int64_t total = 0;
  const int32_t limit = NextPageNumber() + temp_next_page_;
  for (int32_t steps = 0;; ++steps) {
    if (steps > limit) RaiseTable(FICHA_INDEXCORRUPT);  // the links run in a circle
    total += page->Count();
    const int32_t next = page->Next();
    if (next == 0) break;
    pins.Forget(page);
    page->Unpin();
    page = TreePage(index, next, pins);
  }
  return total;
}

void TIndexFile::FreeSubtree(int index, int32_t p, int depth) {
  if (depth >= kMaxIndexDepth) RaiseTable(FICHA_INDEXCORRUPT);
  TPinnedPages pins;
  TPage* page = TreePage(index, p, pins);
  if (!page->IsLeaf()) {
    std::vector<int32_t> children;
    for (int i = 1; i <= page->Count(); ++i) children.push_back(page->Value(i));
    for (int32_t child : children) FreeSubtree(index, child, depth + 1);
  }
  pins.Forget(page);
  FreePage(page);
}

void TIndexFile::FreeIndexPages(int index) {
  const int32_t root = RootPage(index);
  if (root == 0) return;
  FreeSubtree(index, root, 0);
  SetRootPage(index, 0);
}

// ---------------------------------------------------------------- text settings

TTextIndexSettings TIndexFile::ReadTextIndexSettings() {
  const int32_t first = GetI32(Slot(kSysTextIndex) + 96);
  if (first == 0) return TTextIndexSettings::Defaults();
  std::array<uint8_t, kIndexPageSize> image;
  std::set<int32_t> visited;
  int32_t next = first;
  auto source = [&](int, const uint8_t** data) {
    if (next <= 0 || next >= NextPageNumber() || !visited.insert(next).second) return false;
    ReadPageImage(kSysTextIndex, next, image.data());
    if (image[0] != kPageRaw) return false;
    next = GetI32(image.data() + 7);
    *data = image.data() + kPageHeaderSize;
    return true;
  };
  TTextIndexSettings settings;
  if (TTextIndexSettings::Decode(source, &settings) < 0) RaiseTable(FICHA_INDEXCORRUPT);
  return settings;
}

std::vector<int32_t> TIndexFile::TextIndexSettingsPages() {
  std::vector<int32_t> pages;
  std::array<uint8_t, kIndexPageSize> image;
  std::set<int32_t> visited;
  int32_t p = GetI32(Slot(kSysTextIndex) + 96);
  while (p > 0 && p < NextPageNumber() && visited.insert(p).second) {
    ReadPageImage(kSysTextIndex, p, image.data());
    if (image[0] != kPageRaw) break;
    pages.push_back(p);
    p = GetI32(image.data() + 7);
  }
  return pages;
}

int32_t TIndexFile::AllocateRawPage(int index) {
  // The page leaves the cache at once: raw pages are written directly.
  TPage* page = NewPage(index);
  const int32_t number = page->Number();
  page->Unpin();
  RemoveFromList(caches_[index], page);
  ReturnSparePage(page);
  return number;
}

void TIndexFile::WriteTextIndexSettings(const TTextIndexSettings& settings) {
  // Free the old chain first.
  for (int32_t p : TextIndexSettingsPages()) {
    TPage* page = FindCached(kSysTextIndex, p);
    if (page == nullptr) page = MakeCacheEntry(kSysTextIndex, p);
    page->Pin();
    FreePage(page);
  }
  std::array<uint8_t, kIndexPageSize> image;
  PutI32(Slot(kSysTextIndex) + 96, 0);
  MarkChanged();
  if (settings == TTextIndexSettings::Defaults()) return;
  const std::vector<std::vector<uint8_t>> payloads = settings.Encode();
  std::vector<int32_t> numbers;
  for (size_t i = 0; i < payloads.size(); ++i) numbers.push_back(AllocateRawPage(kSysTextIndex));
  for (size_t i = 0; i < payloads.size(); ++i) {
    image.fill(0);
    image[0] = kPageRaw;
    PutU16(image.data() + 1, 1);
    PutI32(image.data() + 3, i > 0 ? numbers[i - 1] : 0);
    PutI32(image.data() + 7, i + 1 < numbers.size() ? numbers[i + 1] : 0);
    std::memcpy(image.data() + kPageHeaderSize, payloads[i].data(), kPageDataSize);
    if (encrypted_) ScrambleBlock(image.data(), kIndexPageSize);
    {
      TFileAccess access(*this);
      SeekTo(0, static_cast<int64_t>(numbers[i]) * kIndexPageSize);
      WriteData(image.data(), kIndexPageSize);
    }
  }
  PutI32(Slot(kSysTextIndex) + 96, numbers.front());
  owner_->MarkModified();
  MarkChanged();
}

}  // namespace ficha
