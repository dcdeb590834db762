#include "engine/index/SortRecords.h"

#include <algorithm>

#include "common/ErrorCodes.h"
#include "engine/data/Record.h"
#include "engine/data/RecordLayout.h"

namespace ficha {

int SortRecords(TDataFile& data, const std::vector<TSortField>& fields, bool case_insensitive,
                const TKeyLanguage& language, const TSortDuplicateHandler& on_duplicate,
                int64_t max_records) {
  if (!data.AllRecordsCached()) return -FICHA_FILECORRUPT;
  std::vector<uint16_t> numbers;
  std::vector<bool> descending;
  for (const TSortField& f : fields) {
    numbers.push_back(f.number);
    descending.push_back(f.descending);
  }
  TKeyDescriptor keys;
  const int r = keys.ResolveSort(numbers, descending, case_insensitive, data.FieldDefs(), language);
  if (r < 0) return r;
  const int key_size = keys.KeySize();

  std::vector<TRecord*> records;
  for (TRecord* record : data.CachedRecords()) {
    if (RecordIsDeleted(record->Data())) continue;
    std::vector<uint8_t>& key = record->KeyBuffer();
    key.resize(static_cast<size_t>(key_size));
    keys.BuildKey(record->Data(), key.data());
    records.push_back(record);
  }
  // The row identifier ends every key, so the order is total.
  std::stable_sort(records.begin(), records.end(), [&keys](TRecord* a, TRecord* b) {
    return keys.Compare(a->KeyBuffer().data(), b->KeyBuffer().data()) < 0;
  });

  std::vector<TRecord*> kept;
  kept.reserve(records.size());
  const int field_bytes = key_size - 4;
  for (TRecord* record : records) {
    if (on_duplicate && !kept.empty() &&
        keys.Compare(kept.back()->KeyBuffer().data(), record->KeyBuffer().data(), field_bytes) ==
            0) {
      if (on_duplicate(kept.back()->Data(), record->Data())) {
        kept.back()->MarkDirty();
        continue;
      }
    }
    kept.push_back(record);
  }
  if (max_records > 0 && static_cast<int64_t>(kept.size()) > max_records)
    kept.resize(static_cast<size_t>(max_records));
  data.RenumberRecords(kept);
  return 0;
}

}  // namespace ficha
