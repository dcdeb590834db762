// Row identifiers: the table-unique 32-bit number in every record, given on
// insert (the value of an autoincrement field). The header keeps the last one
// given out.
#pragma once

#include <cstdint>

namespace ficha {

// The identifier after last: last + 1, and 1 after 2,147,483,647 (or after a
// negative value, which only a damaged header holds).
int32_t NextRowIdentifier(int32_t last);

// The header's last identifier after a caller supplied its own (restructure,
// import): the larger of the two.
int32_t MergeRowIdentifier(int32_t last, int32_t supplied);

}  // namespace ficha
