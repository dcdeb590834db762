// TRecordCache: the cached records of one data file, kept in a list ordered
// by record number and in a least-recently-used chain (newest and oldest
// ends). The cache owns its records; the spare-record pool sits behind it.
//
// This class only keeps the structures; TDataFile decides what to read,
// evict and write.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/data/Record.h"
#include "engine/data/RecordStack.h"

namespace ficha {

class TRecordCache {
 public:
  TRecordCache() = default;
  ~TRecordCache();
  TRecordCache(const TRecordCache&) = delete;
  TRecordCache& operator=(const TRecordCache&) = delete;

  // The cached record number n or null: the four newest entries are looked
  // at first, then the ordered list is binary-searched. Does not touch the
  // chain.
  TRecord* Find(int32_t n) const;

  // Moves a cached record to the newest end of the chain.
  void Touch(TRecord* record);

  // A record for number n that is not cached yet, zero-filled, clean and
  // unpinned, inserted into the list and at the newest end of the chain.
  // When the cache is full the oldest clean unpinned record is reused; when
  // there is none, null is returned and the caller may flush and call again,
  // or call Grow() first.
  TRecord* Add(TDataFile* file, int32_t n, uint32_t record_size);

  // Raises the capacity by 64 entries.
  void Grow() { capacity_ += 64; }

  // Removes a record from list and chain and returns it to the pool.
  void Remove(TRecord* record);

  // Drops every record (dirty ones included) without writing.
  void Clear();

  // Removes clean unpinned records, oldest first, until at most limit remain,
  // then sets the capacity to max(count, limit).
  void Trim(size_t limit);

  // The records in record-number order.
  const std::vector<TRecord*>& Ordered() const { return ordered_; }

  // Keeps exactly the records of order, renumbered 1 ... k in that order;
  // every other cached record is dropped. REQUIRES: every record of order is
  // cached, and appears once.
  void Renumber(const std::vector<TRecord*>& order);

  size_t Count() const { return ordered_.size(); }
  size_t Capacity() const { return capacity_; }
  void SetCapacity(size_t capacity) { capacity_ = capacity; }
  TRecord* Newest() const { return newest_; }
  TRecord* Oldest() const { return oldest_; }
  size_t SpareCount() const { return pool_.Count(); }

 private:
  size_t LowerBound(int32_t n) const;
  void Unlink(TRecord* record);
  void LinkNewest(TRecord* record);
  void Destroy(TRecord* record);

  std::vector<TRecord*> ordered_;  // owned; sorted by number
  TRecord* newest_ = nullptr;
  TRecord* oldest_ = nullptr;
  size_t capacity_ = 0;
  TRecordStack pool_;
};

}  // namespace ficha
