// SortRecords: rewrites the records of a result table in the order of a key
// built from given fields (null byte and key value per field, each with its
// own descending flag, then the row identifier), used by SELECT with ORDER
// BY, DISTINCT and GROUP BY.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/data/DataFile.h"
#include "engine/index/IndexKey.h"

namespace ficha {

struct TSortField {
  uint16_t number = 0;  // field number
  bool descending = false;
};

// Called for each record whose sort fields equal those of the record kept
// before it (a group): `kept` is the first record of the group, `other` the
// one being looked at. Returns true to drop `other` (DISTINCT), false to
// keep it. May change the kept record's bytes (GROUP BY aggregates); such a
// change is written back with the sorted records.
using TSortDuplicateHandler = std::function<bool(uint8_t* kept, const uint8_t* other)>;

// Sorts the records of data (a result table whose every record slot is
// cached, none pinned): builds each record's sort key, orders the records by
// it with the table's language, drops or merges equal keys through
// on_duplicate when given, keeps only the first max_records of them when
// max_records > 0 (TOP), renumbers the kept records 1 ... k in key order
// and leaves them dirty in the cache for the next write-back. Deleted record
// slots are dropped. Returns 0, or a negated error: 10023 or 12292 for a bad
// sort field, 9487 for more than 16 fields, 10026 when the fields take more
// than 522 key bytes, 8962 when not every record is cached.
int SortRecords(TDataFile& data, const std::vector<TSortField>& fields, bool case_insensitive,
                const TKeyLanguage& language, const TSortDuplicateHandler& on_duplicate = {},
                int64_t max_records = 0);

}  // namespace ficha
