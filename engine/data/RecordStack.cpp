// The pool of spare record objects: at most 64 kept, last in first out.
#include "engine/data/RecordStack.h"

namespace ficha {

std::unique_ptr<TRecord> TRecordStack::Take(TDataFile* file) {
  if (spares_.empty()) return std::make_unique<TRecord>(file);
  std::unique_ptr<TRecord> record = std::move(spares_.back());
  spares_.pop_back();
  record->Reset(file, 0, 0);
  return record;
}

void TRecordStack::Give(std::unique_ptr<TRecord> record) {
  if (!record || spares_.size() >= kMaxSpares) return;  // destroyed here
  spares_.push_back(std::move(record));
}

}  // namespace ficha
