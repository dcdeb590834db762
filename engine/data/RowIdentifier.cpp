// Row identifiers run 1 ... 2,147,483,647 and then start again at 1.
#include "engine/data/RowIdentifier.h"

#include <cstdint>
#include <limits>

namespace ficha {

int32_t NextRowIdentifier(int32_t last) {
  if (last < 0 || last == std::numeric_limits<int32_t>::max()) return 1;
  return last + 1;
}

int32_t MergeRowIdentifier(int32_t last, int32_t supplied) {
  return supplied > last ? supplied : last;
}

}  // namespace ficha
