// TBlockStack: spare TBlock objects of one blob file, so that the cache can
// take and give back blocks without allocating every time. At most 32 spares
// are kept; a block given back beyond that is destroyed. The stack owns its
// spares.
#pragma once

#include <memory>
#include <vector>

#include "engine/blob/Block.h"

namespace ficha {

class TBlockStack {
 public:
  static constexpr size_t kMaxSpares = 32;

  TBlockStack() = default;
  TBlockStack(const TBlockStack&) = delete;
  TBlockStack& operator=(const TBlockStack&) = delete;

  // A cleared block with data_size data bytes, not in any cache; the caller
  // owns it.
  std::unique_ptr<TBlock> Take(int data_size);

  // Takes a block back (REQUIRES: not in any cache, not pinned).
  void Give(std::unique_ptr<TBlock> block);

  // Destroys every spare (the block size changed).
  void Clear() { spares_.clear(); }

  size_t Count() const { return spares_.size(); }

 private:
  std::vector<std::unique_ptr<TBlock>> spares_;
};

}  // namespace ficha
