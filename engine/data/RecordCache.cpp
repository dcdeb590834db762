// The record cache: an array of record pointers sorted by record number for
// binary search, and a doubly linked least-recently-used chain through the
// records (newest_ ... oldest_). The four newest entries are looked at before
// the binary search because cursors mostly revisit the record they are on or
// its neighbours.
#include "engine/data/RecordCache.h"

#include <algorithm>

namespace ficha {

TRecordCache::~TRecordCache() {
  for (TRecord* record : ordered_) delete record;
}

size_t TRecordCache::LowerBound(int32_t n) const {
  auto it = std::lower_bound(ordered_.begin(), ordered_.end(), n,
                             [](const TRecord* r, int32_t key) { return r->Number() < key; });
  return static_cast<size_t>(it - ordered_.begin());
}

TRecord* TRecordCache::Find(int32_t n) const {
  int looked = 0;
  for (TRecord* r = newest_; r != nullptr && looked < 4; r = r->older_, ++looked) {
    if (r->Number() == n) return r;
  }
  size_t i = LowerBound(n);
  if (i < ordered_.size() && ordered_[i]->Number() == n) return ordered_[i];
  return nullptr;
}

void TRecordCache::Unlink(TRecord* record) {
  if (record->newer_ != nullptr) {
    record->newer_->older_ = record->older_;
  } else if (newest_ == record) {
    newest_ = record->older_;
  }
  if (record->older_ != nullptr) {
    record->older_->newer_ = record->newer_;
  } else if (oldest_ == record) {
    oldest_ = record->newer_;
  }
  record->newer_ = nullptr;
  record->older_ = nullptr;
}

void TRecordCache::LinkNewest(TRecord* record) {
  record->newer_ = nullptr;
  record->older_ = newest_;
  if (newest_ != nullptr) newest_->newer_ = record;
  newest_ = record;
  if (oldest_ == nullptr) oldest_ = record;
}

void TRecordCache::Touch(TRecord* record) {
  if (newest_ == record) return;
  Unlink(record);
  LinkNewest(record);
}

TRecord* TRecordCache::Add(TDataFile* file, int32_t n, uint32_t record_size) {
  TRecord* record = nullptr;
  if (ordered_.size() >= capacity_) {
    TRecord* victim = oldest_;
    while (victim != nullptr && (victim->Dirty() || victim->PinCount() > 0)) {
      victim = victim->newer_;
    }
    if (victim == nullptr) return nullptr;
    size_t i = LowerBound(victim->Number());
    ordered_.erase(ordered_.begin() + static_cast<std::ptrdiff_t>(i));
    Unlink(victim);
    record = victim;
  } else {
    record = pool_.Take(file).release();
  }
  record->Reset(file, n, record_size);
  size_t i = LowerBound(n);
  ordered_.insert(ordered_.begin() + static_cast<std::ptrdiff_t>(i), record);
  LinkNewest(record);
  return record;
}

void TRecordCache::Destroy(TRecord* record) { pool_.Give(std::unique_ptr<TRecord>(record)); }

void TRecordCache::Remove(TRecord* record) {
  size_t i = LowerBound(record->Number());
  if (i < ordered_.size() && ordered_[i] == record) {
    ordered_.erase(ordered_.begin() + static_cast<std::ptrdiff_t>(i));
  } else {
    auto it = std::find(ordered_.begin(), ordered_.end(), record);
    if (it == ordered_.end()) return;
    ordered_.erase(it);
  }
  Unlink(record);
  Destroy(record);
}

void TRecordCache::Clear() {
  for (TRecord* record : ordered_) {
    record->newer_ = nullptr;
    record->older_ = nullptr;
    Destroy(record);
  }
  ordered_.clear();
  newest_ = nullptr;
  oldest_ = nullptr;
}

void TRecordCache::Trim(size_t limit) {
  TRecord* r = oldest_;
  while (r != nullptr && ordered_.size() > limit) {
    TRecord* newer = r->newer_;
    if (!r->Dirty() && r->PinCount() == 0) Remove(r);
    r = newer;
  }
  capacity_ = std::max(ordered_.size(), limit);
}

void TRecordCache::Renumber(const std::vector<TRecord*>& order) {
  std::vector<TRecord*> keep(order.begin(), order.end());
  std::sort(keep.begin(), keep.end());
  std::vector<TRecord*> drop;
  for (TRecord* record : ordered_) {
    if (!std::binary_search(keep.begin(), keep.end(), record)) drop.push_back(record);
  }
  for (TRecord* record : drop) Remove(record);
  for (size_t i = 0; i < order.size(); ++i) order[i]->number_ = static_cast<int32_t>(i + 1);
  ordered_ = order;
}

}  // namespace ficha
