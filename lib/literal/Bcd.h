// BCD values: in memory a signed 64-bit integer scaled by 10,000 (four decimal
// places); in records and expression values the 34-byte packed form below.
#pragma once

#include <cstdint>

namespace ficha {

constexpr int kBcdSize = 34;
constexpr int64_t kBcdScale = 10000;  // scaled value = value * 10,000
constexpr int kBcdScaleDigits = 4;
constexpr int kBcdPrecision = 32;  // digits written
constexpr int kBcdMaxDecimals = 32;

// Rounds a scaled value to `decimals` places (half away from zero);
// decimals >= 4 leaves it unchanged. Saturates instead of overflowing.
int64_t RoundBcdScaled(int64_t scaled, int decimals);

// Writes the packed form of `scaled` with `decimals` decimal places (rounded
// when below 4, zeros appended when above): precision 32, decimals and sign,
// 32 digits. False (out zero-filled) when decimals is outside 0..32 or the
// digits do not fit 32 places.
bool PackBcd(int64_t scaled, int decimals, uint8_t out[kBcdSize]);

// Reads a packed value into a scaled one (more than four places are rounded
// half away from zero). Precision 0 reads as zero. False on a precision above
// 64, a nibble above 9, or a value beyond the scaled range.
bool UnpackBcd(const uint8_t in[kBcdSize], int64_t* scaled);

// Decimal places recorded in a packed value (bits 0-5 of byte 1).
int BcdDecimals(const uint8_t in[kBcdSize]);

}  // namespace ficha
