// Order-preserving encodings of numbers inside index keys.
//
// Key bytes are big-endian so that an unsigned byte comparison of two encoded
// values gives their numeric order. Signed integers get their top bit
// inverted; doubles get the top bit set when >= 0 (including -0) and every
// bit inverted when negative. The data layer shares these encoders.
#pragma once

#include <cstdint>

namespace ficha {

void EncodeKeyUInt16(uint16_t value, uint8_t* out);  // 2 bytes, no inversion
void EncodeKeyInt16(int16_t value, uint8_t* out);    // 2 bytes
void EncodeKeyInt32(int32_t value, uint8_t* out);    // 4 bytes
void EncodeKeyInt64(int64_t value, uint8_t* out);    // 8 bytes
void EncodeKeyDouble(double value, uint8_t* out);    // 8 bytes

int16_t DecodeKeyInt16(const uint8_t* in);
int32_t DecodeKeyInt32(const uint8_t* in);
int64_t DecodeKeyInt64(const uint8_t* in);
double DecodeKeyDouble(const uint8_t* in);

}  // namespace ficha
