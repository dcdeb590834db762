// TPage: one B-tree page of an index file, expanded in memory.
//
// Entries are kept in fixed slots of key size + 10 bytes (key, 4-byte value,
// 4-byte count, prefix length, trailing length) whatever their disk form, so
// keys are compared in place. A leaf's value is a record number; an inner
// entry's value is a child page and its count the number of keys below it.
// Positions are 1-based. The disk image is laid out in Page.cpp.
//
// A page belongs to the cache of its TIndexFile; the file pins it while an
// operation uses it. Not copyable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ficha {

constexpr int kPageHeaderSize = 13;
constexpr int kPageDataSize = 4083;

enum TPageType : uint8_t {
  kPageRootInner = 0,
  kPageInner = 1,
  kPageLeaf = 2,
  kPageRootLeaf = 3,
  kPageRaw = 4,
};

// What a page takes from its index slot.
struct TPageFormat {
  int index = 0;  // slot number
  int key_size = 0;
  bool descending = false;
  bool unique = true;
  bool no_counts = false;  // inner entries without counts (also the text index)
  uint8_t compression = 0;
};

class TPage {
 public:
  TPage() = default;
  TPage(const TPage&) = delete;
  TPage& operator=(const TPage&) = delete;

  // Makes this an empty page `number` of the given index (type leaf, no
  // links, clean, unpinned, not freed).
  void Reset(int32_t number, const TPageFormat& format);

  // Empties the page for reuse as a new page of the given index, keeping its
  // number, pins and cache links; marks it dirty.
  void Renew(const TPageFormat& format);

  int32_t Number() const { return number_; }
  const TPageFormat& Format() const { return format_; }
  // Moves the page to another slot of the same key layout.
  void SetFormat(const TPageFormat& format) { format_ = format; }
  int Index() const { return format_.index; }
  int KeySize() const { return format_.key_size; }

  uint8_t Type() const { return type_; }
  void SetType(uint8_t type) { type_ = type; }
  bool IsLeaf() const { return type_ == kPageLeaf || type_ == kPageRootLeaf; }
  bool IsRoot() const { return type_ == kPageRootInner || type_ == kPageRootLeaf; }
  // A leaf stored compressed.
  bool IsCompressedLeaf() const { return IsLeaf() && format_.compression != 0; }
  // Inner entries carry counts.
  bool HasCounts() const { return !format_.no_counts; }

  int32_t Prev() const { return prev_; }
  int32_t Next() const { return next_; }
  void SetPrev(int32_t page) { prev_ = page; }
  void SetNext(int32_t page) { next_ = page; }

  int Count() const { return count_; }
  // REQUIRES: 1 <= i <= Count().
  const uint8_t* Key(int i) const { return Slot(i); }
  int32_t Value(int i) const;
  int32_t KeyCount(int i) const;
  void SetValue(int i, int32_t value);
  void SetKeyCount(int i, int32_t count);
  void ReplaceKey(int i, const uint8_t* key);

  // Inserts an entry so that it becomes entry pos (1 <= pos <= Count() + 1).
  void InsertEntry(int pos, const uint8_t* key, int32_t value, int32_t count);
  // Removes entry pos.
  void RemoveEntry(int pos);
  // Moves entries from..from+n-1 of this page to position at of dest.
  void MoveEntriesTo(TPage& dest, int from, int n, int at);
  void Clear() { count_ = 0; }

  // Number of keys below this page: its entries for a leaf, the sum of the
  // counts for an inner page.
  int64_t Total() const;

  // Entries an inner page or an uncompressed leaf can hold.
  int Capacity() const;
  // Bytes the encoded entries from..to (inclusive) take in a compressed
  // leaf, the first of them encoded as the first of a page.
  int EncodedSize(int from, int to) const;
  int EncodedSize() const { return count_ == 0 ? 0 : EncodedSize(1, count_); }
  // More entries than fit on disk.
  bool Overflows() const;

  // Expands a 4096-byte disk image. Returns 0, or -8965 (index corrupt) for a
  // bad page type, an entry count beyond the capacity, a compressed size
  // beyond 4083, or compressed entries that do not decode. A page written
  // with no entries is a freed page (only its header is used).
  int Decode(const uint8_t* image);
  // Encodes the page into a 4096-byte image (zero fill).
  void Encode(uint8_t* image) const;

  bool Dirty() const { return dirty_; }
  void SetDirty(bool dirty = true) { dirty_ = dirty; }
  int Pins() const { return pins_; }
  void Pin() { ++pins_; }
  void Unpin() {
    if (pins_ > 0) --pins_;
  }
  bool Freed() const { return freed_; }
  void SetFreed(bool freed) { freed_ = freed; }

  // Links of the index's least-recently-used chain (managed by TIndexFile).
  TPage* newer = nullptr;
  TPage* older = nullptr;

 private:
  int SlotSize() const { return format_.key_size + 10; }
  uint8_t* Slot(int i) { return entries_.data() + static_cast<size_t>(i - 1) * SlotSize(); }
  const uint8_t* Slot(int i) const {
    return entries_.data() + static_cast<size_t>(i - 1) * SlotSize();
  }
  void Reserve(int count);
  int EntrySize(const uint8_t* prev, const uint8_t* key) const;
  void CompressionLengths(const uint8_t* prev, const uint8_t* key, int* p, int* t) const;
  int DecodeCompressed(const uint8_t* data, int size, int count);

  TPageFormat format_;
  int32_t number_ = 0;
  uint8_t type_ = kPageLeaf;
  int count_ = 0;
  int32_t prev_ = 0;
  int32_t next_ = 0;
  bool dirty_ = false;
  int pins_ = 0;
  bool freed_ = false;
  std::vector<uint8_t> entries_;
};

}  // namespace ficha
