// TRecordStack: the pool of spare TRecord objects of one data file.
// At most 64 spares are kept; a request takes the last one or makes a new
// one, and a record returned beyond 64 is destroyed.
#pragma once

#include <memory>
#include <vector>

#include "engine/data/Record.h"

namespace ficha {

class TRecordStack {
 public:
  static constexpr size_t kMaxSpares = 64;

  TRecordStack() = default;
  TRecordStack(const TRecordStack&) = delete;
  TRecordStack& operator=(const TRecordStack&) = delete;

  // A record for file: the last spare, or a new one. The caller owns it.
  std::unique_ptr<TRecord> Take(TDataFile* file);

  // Returns a record to the pool (destroyed when 64 are already kept).
  void Give(std::unique_ptr<TRecord> record);

  size_t Count() const { return spares_.size(); }

 private:
  std::vector<std::unique_ptr<TRecord>> spares_;
};

}  // namespace ficha
