// BCD field values (34 bytes, the literal module's packed form):
//
//   byte 0      precision: number of digits (32 when written; 0 reads as 0)
//   byte 1      bits 0-5 decimal places, bit 7 sign (1 = negative)
//   bytes 2-33  digits two per byte, high nibble first, right-aligned within
//               the precision (32 digits fill bytes 2-17; 18-33 unused)
//
// Values pass through a 64-bit integer scaled by 10,000: rounded to the
// declared places first when there are fewer than four.
#include "engine/data/BcdField.h"

#include <cstring>

namespace ficha {

bool PutBcdValue(uint8_t* value, int64_t scaled, uint8_t decimals) {
  if (decimals > kBcdMaxDecimals) {
    std::memset(value, 0, kBcdSize);
    return false;
  }
  return PackBcd(RoundBcdScaled(scaled, decimals), decimals, value);
}

bool GetBcdValue(const uint8_t* value, int64_t* scaled) {
  if (!UnpackBcd(value, scaled)) {
    *scaled = 0;
    return false;
  }
  return true;
}

}  // namespace ficha
