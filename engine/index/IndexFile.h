// TIndexFile: a table's index file (".IDX"): the 4096-byte header with its 33
// index slots (IndexHeader.h) and the B-tree pages of every index (Page.h),
// with the page caches that all cursors of the table share.
//
// Each index has its own page cache (pages ordered by number plus a
// least-recently-used chain) so that one index's traffic does not evict
// another's pages. Pages of temporary indexes live in a separate file in the
// session's private directory, deleted at close.
//
// The owning table (TTableOwner) supplies the table name for errors, the
// transaction state and the session settings; it outlives this object.
// Errors are raised as EFichaEngineError naming the table. Used from one
// thread at a time.
//
// B-tree operations keep every inner entry's count equal to the number of
// keys below it (except for the text index and no-counts indexes, which keep
// no counts). Keys are compared with TKeyDescriptor (IndexKey.h): the owner
// hands over the field definitions and the language with SetKeyContext.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data/FieldDef.h"
#include "engine/data/TableOwner.h"
#include "engine/index/IndexHeader.h"
#include "engine/index/IndexKey.h"
#include "engine/index/Page.h"
#include "engine/index/TextIndexSettings.h"
#include "lib/file/FileHandler.h"

namespace ficha {

// One step of a walk from the root: a page and the position taken in it.
struct TIndexPathStep {
  int32_t page = 0;
  int position = 0;
};
constexpr int kMaxIndexDepth = 64;

// Cache activity, reset when the file opens.
struct TPageCacheCounters {
  int64_t requests = 0;
  int64_t hits = 0;
  int64_t disk_reads = 0;
  int64_t pages_written = 0;
};

class TIndexFile : public TFileHandler {
 public:
  // REQUIRES: owner outlives this object.
  explicit TIndexFile(TTableOwner* owner);
  ~TIndexFile() override;

  TIndexFile(const TIndexFile&) = delete;
  TIndexFile& operator=(const TIndexFile&) = delete;

  // Opens the handle and reads the header: 12035 for a version other than 5,
  // 8961 for more than 32 secondary indexes (the file is closed again).
  void OpenFile() override;
  // Drops temporary slots and deletes the temporary index file, discards
  // every cached page (without writing), closes the handle.
  void CloseFile() override;
  // Creates the file with a new header: version 5, next page 1, the system
  // slots "Sys Deleted" and "Sys Text", header changed (written by the next
  // write-back).
  void CreateNewFile() override;

  // ---- Settings from the owner ----
  void SetEncrypted(bool encrypted) { encrypted_ = encrypted; }
  bool Encrypted() const { return encrypted_; }
  // Field definitions (field-number order) and language used to build and
  // compare keys. Without them keys compare as bytes, which is exact for
  // "ANSI Standard" tables.
  void SetKeyContext(const std::vector<TFieldDef>& fields, const TKeyLanguage& language);

  // ---- Header ----
  void ReadIndexHeader();
  // Re-reads the header; true (taking the new image) when another writer
  // changed it. The caller then discards its cached pages.
  bool IndexHeaderChanged();
  // Writes the header when forced or changed; returns whether it wrote.
  bool WriteIndexHeader(bool force);
  // Inside a transaction: notes a header change without writing.
  void MarkIndexHeaderChanged();
  bool HeaderIsChanged() const { return header_changed_; }
  int32_t ChangeCount() const { return GetI32(header_.data()); }
  const uint8_t* HeaderImage() const { return header_.data(); }

  // Checks the header read at open against the file: 8961 for a next page
  // number below 1 or beyond the page limit, more than 30 secondary indexes,
  // a file shorter than its header, or an in-use slot whose key size, field
  // count, root or first free page is out of range.
  void ValidateIndexHeader();

  // Truncates the file to its header and empties every index.
  void EmptyIndexFile();
  // Fills slot 0 (see IndexFile.cpp for the checks); no fields sets the
  // no-primary-index flag instead.
  void DefinePrimaryIndex(const TIndexDef& definition);
  // Fills the slot after the last secondary index. A temporary definition
  // keeps its pages in the temporary index file; temporary slots always
  // stay after the persistent ones (a persistent index added later takes
  // the place of the first temporary slot, which moves up with the others).
  void AddSecondaryIndex(const TIndexDef& definition);
  // REQUIRES: the index's pages were freed (FreeIndexPages). Slot 0 sets the
  // no-primary-index flag; a secondary slot moves the following ones down
  // and keeps its 120 bytes just past the new last one, so that an index
  // added later there inherits its free pages.
  void RemoveIndex(int index);
  void RenameIndex(int index, std::string_view name);

  TIndexDef IndexDefinition(int index) const;
  // Slot number by name (trimmed, case-insensitive; "" is the primary
  // index), -1 when there is none.
  int IndexNumber(std::string_view name) const;
  int SecondaryCount() const { return header_[kIdxHdrSecondaryCount]; }
  bool IndexInUse(int index) const;
  int32_t NextPageNumber() const { return GetI32(header_.data() + kIdxHdrNextPage); }
  int32_t ActiveRecords() const { return GetI32(header_.data() + kIdxHdrActiveRecords); }
  void SetActiveRecords(int32_t count);
  void IncActiveRecords() { SetActiveRecords(ActiveRecords() + 1); }
  void DecActiveRecords() { SetActiveRecords(ActiveRecords() - 1); }
  int32_t RootPage(int index) const;
  void SetRootPage(int index, int32_t page);
  int32_t FirstFreePage(int index) const;
  bool NoPrimaryIndex() const { return header_[kIdxHdrNoPrimary] != 0; }
  void SetNoPrimaryIndex(bool on);
  // The key rules of an index (resolved on first use after a header or
  // context change).
  const TKeyDescriptor& Keys(int index);

  // ---- Pages ----
  // Pins and returns page p of index i. Returns false (no page) when the
  // cursor's change check found another program's change before a disk
  // read; the cursor then starts again from the root. Raises 8965 for page
  // 0, an unreadable or corrupt page.
  bool GetPage(TRequestingCursor* cursor, int index, int32_t p, TPage** page);
  // A cleared, pinned, dirty page for index i: the first free page of the
  // index, else a new page at the end (9479 beyond 2,000,000,000 pages or
  // 4,000,000,000 bytes).
  TPage* NewPage(int index);
  // Puts a pinned page on its index's free chain and drops the pin.
  void FreePage(TPage* page);
  void ReleasePage(TPage* page);
  // Writes the dirty unpinned pages of all persistent (or all temporary)
  // indexes in runs of consecutive numbers. Returns whether it wrote.
  bool FlushPages(bool temporary);
  void DiscardPages();
  void TrimPageCache();
  // The write-back sequence: dirty pages, header (when changed or when
  // write_header), device flush when something was written and
  // ForceBufferFlush or force_os_flush is set, cache trim when trim. Inside
  // a transaction only the header change is noted. Returns whether anything
  // was written.
  bool FlushBuffers(bool write_header = false, bool force_os_flush = false, bool trim = true);
  const TPageCacheCounters& Counters() const { return counters_; }
  size_t CachedPages(int index) const { return caches_[index].pages.size(); }

  // ---- B-tree ----
  // Descends from the root of index i towards key (first n bytes compared),
  // filling path with (page, position) from the root down; on the leaf the
  // position is that of the last entry <= key (0 = before the first), on
  // inner pages at least 1. *exact tells whether the leaf entry compares
  // equal. Returns false when the cursor must start again; an empty index
  // gives an empty path.
  bool Search(TRequestingCursor* cursor, int index, const uint8_t* key, int n,
              std::vector<TIndexPathStep>* path, bool* exact);
  // Inserts key (KeySize bytes) with its record number.
  void InsertKey(int index, const uint8_t* key, int32_t record);
  // Deletes key (full key, suffix included); 8965 when it is not there.
  void DeleteKey(int index, const uint8_t* key);
  // Number of keys in index i: the sum of the root's counts (a walk over
  // the leaves for indexes that keep no counts).
  int64_t KeyCount(int index);
  // Frees every page of index i and sets its root to 0 (before RemoveIndex
  // or a rebuild).
  void FreeIndexPages(int index);

  // ---- Text index settings ----
  // The word-splitting settings of the text index: the table's own chain of
  // raw pages, or the defaults when it has none. 8965 for a corrupt chain.
  TTextIndexSettings ReadTextIndexSettings();
  // Page numbers of the settings chain (empty without one); stops at the
  // first page that is not a raw page or that comes round again.
  std::vector<int32_t> TextIndexSettingsPages();
  // Stores settings as the table's own chain (the pages of an earlier chain
  // are freed first); default settings remove the chain.
  void WriteTextIndexSettings(const TTextIndexSettings& settings);

  const std::string& TableName() const { return owner_->TableName(); }
  TTableOwner* Owner() const { return owner_; }

 private:
  struct TPageList {
    std::vector<TPage*> pages;  // ordered by page number; owned
    size_t capacity = 2;
    TPage* newest = nullptr;
    TPage* oldest = nullptr;
  };
  struct TPinnedPages;

  [[noreturn]] void RaiseTable(int code, std::string_view index_name = {}) const;
  uint8_t* Slot(int index) { return header_.data() + kIdxHdrSlots + kIndexSlotSize * index; }
  const uint8_t* Slot(int index) const {
    return header_.data() + kIdxHdrSlots + kIndexSlotSize * index;
  }
  // The header as stored on disk, unscrambled.
  std::array<uint8_t, kIndexHeaderSize> ReadHeaderImage();
  // Replaces the cached header by image, keeping this process's temporary
  // slots.
  void TakeHeader(const std::array<uint8_t, kIndexHeaderSize>& image);
  void PutSlot(int index, const TIndexDef& def);
  void MarkChanged();
  void InvalidateKeys();
  TPageFormat FormatOf(int index) const;
  bool IsTemporaryIndex(int index) const;
  TFileHandler& FileOf(int index);
  void CheckDefinitionFields(const TIndexDef& def) const;
  void CheckNewName(std::string_view name, int except_index) const;
  void InitSystemSlots();
  void OpenTemporaryFile();
  void DropTemporary();
  size_t InitialCacheCapacity() const;

  // Page cache.
  TPage* FindCached(int index, int32_t p);
  TPage* MakeCacheEntry(int index, int32_t p);
  void Touch(TPageList& list, TPage* page);
  void Unchain(TPageList& list, TPage* page);
  void RemoveFromList(TPageList& list, TPage* page);
  TPage* TakeSparePage();
  void ReturnSparePage(TPage* page);
  void ReadPageImage(int index, int32_t p, uint8_t* image);
  void WritePages(std::vector<TPage*>& pages, TFileHandler& file);

  // Tree internals.
  TPage* TreePage(int index, int32_t p, TPinnedPages& pins);
  int SearchPage(const TKeyDescriptor& keys, const TPage* page, const uint8_t* key, int n,
                 bool* exact) const;
  // Walks from the root to the leaf where key belongs, filling pages and the
  // entry position taken on each level (the leaf's is the last entry not
  // above key, 0 when none); returns whether the leaf holds an equal key.
  // Changes nothing, so a damaged page met on the way leaves counts intact.
  bool DescendToLeaf(int index, int32_t root, const TKeyDescriptor& keys, const uint8_t* key,
                     std::vector<TPage*>& pages, std::vector<int>& positions, TPinnedPages& pins);
  // Adds delta to the key counts of the entries above the leaf on the path.
  void AdjustCountsAbove(std::vector<TPage*>& pages, const std::vector<int>& positions, int level,
                         int delta);
  void UpdateSeparators(std::vector<TPage*>& pages, std::vector<int>& positions, int level);
  void SplitPage(int index, std::vector<TPage*>& pages, std::vector<int>& positions, int level,
                 TPinnedPages& pins);
  void AfterRemove(int index, std::vector<TPage*>& pages, std::vector<int>& positions, int level,
                   int removed, TPinnedPages& pins);
  void Rebalance(int index, std::vector<TPage*>& pages, std::vector<int>& positions, int level,
                 TPinnedPages& pins);
  void Unlink(int index, TPage* page, TPinnedPages& pins);
  void CollapseRoot(int index, TPinnedPages& pins);
  void FreeSubtree(int index, int32_t p, int depth);
  int32_t AllocateRawPage(int index);

  TTableOwner* owner_;
  bool encrypted_ = false;
  std::array<uint8_t, kIndexHeaderSize> header_{};
  bool header_changed_ = false;
  std::vector<TFieldDef> fields_;
  TKeyLanguage language_ = TKeyLanguage::Ansi();
  std::array<std::optional<TKeyDescriptor>, kIndexSlotCount> keys_;
  std::array<TPageList, kIndexSlotCount> caches_;
  std::vector<std::unique_ptr<TPage>> spare_;  // at most 4
  std::vector<uint8_t> io_buffer_;
  TPageCacheCounters counters_;
  std::unique_ptr<TFileHandler> temp_file_;
  int32_t temp_next_page_ = 1;
};

}  // namespace ficha
