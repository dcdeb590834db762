// Packed BCD value, 34 bytes:
//
//   byte 0      precision: number of digits (32 when written; 0 reads as zero)
//   byte 1      bits 0-5 decimal places, bit 7 sign (1 = negative)
//   bytes 2-33  digits, two per byte, high nibble first; the value's digits
//               are right-aligned within `precision` nibbles counted from the
//               high nibble of byte 2 (32 digits fill bytes 2-17)

#include "lib/literal/Bcd.h"

#include <cstring>
#include <limits>
#include <string>

namespace ficha {

namespace {

constexpr int64_t kPow10[5] = {1, 10, 100, 1000, 10000};

uint64_t Magnitude(int64_t v) {
  return v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
}

}  // namespace

int64_t RoundBcdScaled(int64_t scaled, int decimals) {
  if (decimals >= kBcdScaleDigits) return scaled;
  if (decimals < 0) decimals = 0;
  const int64_t divisor = kPow10[kBcdScaleDigits - decimals];
  int64_t q = scaled / divisor;
  int64_t r = scaled % divisor;
  if (Magnitude(r) * 2 >= static_cast<uint64_t>(divisor)) {
    int64_t bumped = q + (scaled < 0 ? -1 : 1);
    // Keep the truncated value where rounding away would leave the range.
    if (bumped <= std::numeric_limits<int64_t>::max() / divisor &&
        bumped >= std::numeric_limits<int64_t>::min() / divisor) {
      q = bumped;
    }
  }
  return q * divisor;
}

bool PackBcd(int64_t scaled, int decimals, uint8_t out[kBcdSize]) {
  std::memset(out, 0, kBcdSize);
  if (decimals < 0 || decimals > kBcdMaxDecimals) return false;
  std::string digits;
  if (decimals < kBcdScaleDigits) {
    int64_t rounded = RoundBcdScaled(scaled, decimals);
    digits = std::to_string(Magnitude(rounded) /
                            static_cast<uint64_t>(kPow10[kBcdScaleDigits - decimals]));
  } else {
    digits = std::to_string(Magnitude(scaled));
    if (digits != "0") digits.append(static_cast<size_t>(decimals - kBcdScaleDigits), '0');
  }
  if (digits.size() > static_cast<size_t>(kBcdPrecision)) return false;
  const bool negative = scaled < 0 && digits != "0";
  out[0] = kBcdPrecision;
  out[1] = static_cast<uint8_t>(decimals | (negative ? 0x80 : 0));
  const size_t first = kBcdPrecision - digits.size();
  for (size_t i = 0; i < digits.size(); ++i) {
    const size_t nibble = first + i;
    const uint8_t value = static_cast<uint8_t>(digits[i] - '0');
    out[2 + nibble / 2] |= nibble % 2 == 0 ? static_cast<uint8_t>(value << 4) : value;
  }
  return true;
}

bool UnpackBcd(const uint8_t in[kBcdSize], int64_t* scaled) {
  const int precision = in[0];
  if (precision == 0) {
    *scaled = 0;
    return true;
  }
  if (precision > 2 * (kBcdSize - 2)) return false;
  const int decimals = BcdDecimals(in);
  const bool negative = (in[1] & 0x80) != 0;

  std::string digits;  // significant digits, leading zeros dropped
  for (int i = 0; i < precision; ++i) {
    const uint8_t byte = in[2 + i / 2];
    const int value = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
    if (value > 9) return false;
    if (digits.empty() && value == 0) continue;
    digits.push_back(static_cast<char>('0' + value));
  }

  // Bring the digits to four decimal places.
  bool round_up = false;
  if (decimals > kBcdScaleDigits) {
    const size_t drop = static_cast<size_t>(decimals - kBcdScaleDigits);
    if (drop <= digits.size()) {
      round_up = digits[digits.size() - drop] >= '5';
      digits.resize(digits.size() - drop);
    } else {
      digits.clear();
    }
  } else {
    digits.append(static_cast<size_t>(kBcdScaleDigits - decimals), '0');
  }

  uint64_t magnitude = 0;
  for (char c : digits) {
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (magnitude > (std::numeric_limits<uint64_t>::max() - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  if (round_up) {
    if (magnitude == std::numeric_limits<uint64_t>::max()) return false;
    ++magnitude;
  }
  const uint64_t limit =
      static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0);
  if (magnitude > limit) return false;
  *scaled = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

int BcdDecimals(const uint8_t in[kBcdSize]) { return in[1] & 0x3F; }

}  // namespace ficha
