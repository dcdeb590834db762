// TIndexFile: page allocation, free chains and the per-index page caches.
#include <algorithm>
#include <array>
#include <cstring>

#include "common/EngineError.h"
#include "common/ErrorCodes.h"
#include "engine/data/Scramble.h"
#include "engine/index/IndexFile.h"

namespace ficha {

namespace {
constexpr int32_t kMaxPageNumber = 2000000000;
constexpr int64_t kMaxFileBytes = 4000000000LL;
constexpr size_t kMaxSparePages = 4;
}  // namespace

TPage* TIndexFile::TakeSparePage() {
  if (spare_.empty()) return new TPage();
  TPage* page = spare_.back().release();
  spare_.pop_back();
  return page;
}

void TIndexFile::ReturnSparePage(TPage* page) {
  if (spare_.size() < kMaxSparePages)
    spare_.emplace_back(page);
  else
    delete page;
}

void TIndexFile::Unchain(TPageList& list, TPage* page) {
  if (page->newer) page->newer->older = page->older;
  if (page->older) page->older->newer = page->newer;
  if (list.newest == page) list.newest = page->older;
  if (list.oldest == page) list.oldest = page->newer;
  page->newer = page->older = nullptr;
}

void TIndexFile::Touch(TPageList& list, TPage* page) {
  if (list.newest == page) return;
  Unchain(list, page);
  page->older = list.newest;
  if (list.newest) list.newest->newer = page;
  list.newest = page;
  if (!list.oldest) list.oldest = page;
}

void TIndexFile::RemoveFromList(TPageList& list, TPage* page) {
  auto it = std::lower_bound(list.pages.begin(), list.pages.end(), page->Number(),
                             [](const TPage* a, int32_t n) { return a->Number() < n; });
  if (it == list.pages.end() || *it != page) RaiseTable(FICHA_INDEXCORRUPT);
  list.pages.erase(it);
  Unchain(list, page);
}

TPage* TIndexFile::FindCached(int index, int32_t p) {
  TPageList& list = caches_[index];
  if (list.newest && list.newest->Number() == p) return list.newest;
  if (list.newest && list.newest->older && list.newest->older->Number() == p)
    return list.newest->older;
  auto it = std::lower_bound(list.pages.begin(), list.pages.end(), p,
                             [](const TPage* a, int32_t n) { return a->Number() < n; });
  if (it != list.pages.end() && (*it)->Number() == p) return *it;
  return nullptr;
}

TPage* TIndexFile::MakeCacheEntry(int index, int32_t p) {
  TPageList& list = caches_[index];
  TPage* page = nullptr;
  if (list.pages.size() >= list.capacity) {
    for (int attempt = 0; attempt < 2 && page == nullptr; ++attempt) {
      for (TPage* q = list.oldest; q != nullptr; q = q->newer) {
        if (!q->Dirty() && q->Pins() == 0) {
          page = q;
          break;
        }
      }
      if (page == nullptr && attempt == 0) {
        if (owner_->InTransaction()) break;
        FlushPages(IsTemporaryIndex(index));
      }
    }
    if (page != nullptr)
      RemoveFromList(list, page);
    else
      list.capacity += 4;
  }
  if (page == nullptr) page = TakeSparePage();
  page->Reset(p, FormatOf(index));
  auto it = std::lower_bound(list.pages.begin(), list.pages.end(), p,
                             [](const TPage* a, int32_t n) { return a->Number() < n; });
  list.pages.insert(it, page);
  Touch(list, page);
  return page;
}

void TIndexFile::ReadPageImage(int index, int32_t p, uint8_t* image) {
  TFileHandler& file = FileOf(index);
  // Pages beyond the end exist only when this process appended them and has
  // not written them yet.
  const bool allow_short = &file != this || (owner_->ModifiedByThisProcess() &&
                                             (owner_->Exclusive() || owner_->InTransaction()));
  int64_t n;
  {
    TFileAccess access(file);
    file.SeekTo(0, static_cast<int64_t>(p) * kIndexPageSize);
    n = file.ReadData(image, kIndexPageSize, allow_short);
  }
  if (n < 0) n = 0;
  // Only the bytes read are unscrambled; the missing tail reads as zeros.
  if (encrypted_ && n > 0) ScrambleBlock(image, static_cast<size_t>(n));
  if (n < kIndexPageSize) std::memset(image + n, 0, static_cast<size_t>(kIndexPageSize - n));
  ++counters_.disk_reads;
}

bool TIndexFile::GetPage(TRequestingCursor* cursor, int index, int32_t p, TPage** page) {
  *page = nullptr;
  ++counters_.requests;
  if (p <= 0 || index < 0 || index >= kIndexSlotCount) RaiseTable(FICHA_INDEXCORRUPT);
  const bool temporary = IsTemporaryIndex(index) && temp_file_;
  const int32_t next = temporary ? temp_next_page_ : NextPageNumber();
  if (p == next) {
    if (p > kMaxPageNumber ||
        static_cast<int64_t>(p) * kIndexPageSize + kIndexPageSize > kMaxFileBytes)
      RaiseTable(FICHA_TABLEFULL);
    TPage* fresh = MakeCacheEntry(index, p);
    fresh->Pin();
    fresh->SetDirty();
    if (temporary) {
      ++temp_next_page_;
    } else {
      PutI32(header_.data() + kIdxHdrNextPage, next + 1);
      MarkChanged();
    }
    *page = fresh;
    return true;
  }
  if (p > next) RaiseTable(FICHA_INDEXCORRUPT);
  if (TPage* cached = FindCached(index, p)) {
    Touch(caches_[index], cached);
    cached->Pin();
    ++counters_.hits;
    *page = cached;
    return true;
  }
  if (cursor != nullptr && !owner_->StrictChangeDetection() && cursor->CheckChangesBeforeRead())
    return false;
  std::array<uint8_t, kIndexPageSize> image;
  ReadPageImage(index, p, image.data());
  TPage* read = MakeCacheEntry(index, p);
  if (read->Decode(image.data()) < 0) {
    RemoveFromList(caches_[index], read);
    ReturnSparePage(read);
    RaiseTable(FICHA_INDEXCORRUPT);
  }
  read->Pin();
  *page = read;
  return true;
}

void TIndexFile::ReleasePage(TPage* page) {
  if (page) page->Unpin();
}

TPage* TIndexFile::NewPage(int index) {
  int32_t first = FirstFreePage(index);
  TPage* page = nullptr;
  const bool temporary = IsTemporaryIndex(index) && temp_file_;
  const int32_t next = temporary ? temp_next_page_ : NextPageNumber();
  if (first != 0 && first == next) {
    // A chain head naming the next page number is a page not yet in the
    // file: it is taken as a new page, which leaves the chain empty.
    PutI32(Slot(index) + 90, 0);
    MarkChanged();
    first = 0;
  }
  if (first != 0) {
    if (first < 0 || first > next) RaiseTable(FICHA_INDEXCORRUPT);
    GetPage(nullptr, index, first, &page);
    // A free chain that leads into a live page is damaged; using the page
    // would destroy its keys.
    if (!page->Freed()) {
      page->Unpin();
      RaiseTable(FICHA_INDEXCORRUPT);
    }
    PutI32(Slot(index) + 90, page->Next());
    MarkChanged();
    page->Renew(FormatOf(index));
    return page;
  }
  GetPage(nullptr, index, next, &page);
  page->Renew(FormatOf(index));
  return page;
}

void TIndexFile::FreePage(TPage* page) {
  const int index = page->Index();
  const int32_t first = FirstFreePage(index);
  const bool temporary = IsTemporaryIndex(index) && temp_file_;
  const int32_t next = temporary ? temp_next_page_ : NextPageNumber();
  page->Clear();
  page->SetPrev(0);
  page->SetNext(first == 0 || first == next ? 0 : first);
  page->SetFreed(true);
  page->SetDirty();
  PutI32(Slot(index) + 90, page->Number());
  MarkChanged();
  page->Unpin();
}

void TIndexFile::WritePages(std::vector<TPage*>& pages, TFileHandler& file) {
  std::sort(pages.begin(), pages.end(),
            [](const TPage* a, const TPage* b) { return a->Number() < b->Number(); });
  size_t i = 0;
  while (i < pages.size()) {
    size_t j = i + 1;
    while (j < pages.size() && pages[j]->Number() == pages[j - 1]->Number() + 1) ++j;
    const size_t run = j - i;
    if (io_buffer_.size() < run * kIndexPageSize) io_buffer_.resize(run * kIndexPageSize);
    for (size_t k = 0; k < run; ++k) {
      uint8_t* image = io_buffer_.data() + k * kIndexPageSize;
      pages[i + k]->Encode(image);
      if (encrypted_) ScrambleBlock(image, kIndexPageSize);
    }
    {
      TFileAccess access(file);
      file.SeekTo(0, static_cast<int64_t>(pages[i]->Number()) * kIndexPageSize);
      file.WriteData(io_buffer_.data(), static_cast<int64_t>(run * kIndexPageSize));
    }
    for (size_t k = 0; k < run; ++k) pages[i + k]->SetDirty(false);
    counters_.pages_written += static_cast<int64_t>(run);
    i = j;
  }
}

bool TIndexFile::FlushPages(bool temporary) {
  if (temporary && !temp_file_) return false;
  std::vector<TPage*> dirty;
  for (int i = 0; i < kIndexSlotCount; ++i) {
    if (IsTemporaryIndex(i) != temporary) continue;
    for (TPage* page : caches_[i].pages)
      if (page->Dirty() && page->Pins() == 0) dirty.push_back(page);
  }
  if (dirty.empty()) return false;
  WritePages(dirty, temporary ? *temp_file_ : static_cast<TFileHandler&>(*this));
  if (!temporary) owner_->MarkModified();
  return true;
}

void TIndexFile::DiscardPages() {
  for (TPageList& list : caches_) {
    for (TPage* page : list.pages) ReturnSparePage(page);
    list.pages.clear();
    list.newest = list.oldest = nullptr;
    list.capacity = InitialCacheCapacity();
  }
}

void TIndexFile::TrimPageCache() {
  const size_t limit = InitialCacheCapacity();
  for (TPageList& list : caches_) {
    TPage* q = list.oldest;
    while (q != nullptr && list.pages.size() > limit) {
      TPage* newer = q->newer;
      if (!q->Dirty() && q->Pins() == 0) {
        RemoveFromList(list, q);
        ReturnSparePage(q);
      }
      q = newer;
    }
    list.capacity = std::max(list.pages.size(), limit);
    list.pages.shrink_to_fit();
  }
}

bool TIndexFile::FlushBuffers(bool write_header, bool force_os_flush, bool trim) {
  if (owner_->InTransaction()) {
    if (header_changed_) MarkIndexHeaderChanged();
    return false;
  }
  bool wrote = FlushPages(false);
  FlushPages(true);
  wrote = WriteIndexHeader(write_header) || wrote;
  if (wrote && (force_os_flush || owner_->ForceBufferFlush())) FlushData();
  if (trim) TrimPageCache();
  return wrote;
}

}  // namespace ficha
