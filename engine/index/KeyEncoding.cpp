#include "engine/index/KeyEncoding.h"

#include <cstring>

namespace ficha {

namespace {

void PutBigEndian(uint64_t value, int width, uint8_t* out) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<uint8_t>(value);
    value >>= 8;
  }
}

uint64_t GetBigEndian(const uint8_t* in, int width) {
  uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = (value << 8) | in[i];
  return value;
}

}  // namespace

void EncodeKeyUInt16(uint16_t value, uint8_t* out) { PutBigEndian(value, 2, out); }

void EncodeKeyInt16(int16_t value, uint8_t* out) {
  PutBigEndian(static_cast<uint16_t>(value) ^ 0x8000u, 2, out);
}

void EncodeKeyInt32(int32_t value, uint8_t* out) {
  PutBigEndian(static_cast<uint32_t>(value) ^ 0x80000000u, 4, out);
}

void EncodeKeyInt64(int64_t value, uint8_t* out) {
  PutBigEndian(static_cast<uint64_t>(value) ^ 0x8000000000000000ull, 8, out);
}

void EncodeKeyDouble(double value, uint8_t* out) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  // The sign bit decides rather than value >= 0, so that -0 sorts with +0's
  // neighbours the same way on every path that builds keys.
  if (bits & 0x8000000000000000ull) {
    bits = (value == 0.0) ? 0x8000000000000000ull : ~bits;
  } else {
    bits |= 0x8000000000000000ull;
  }
  PutBigEndian(bits, 8, out);
}

int16_t DecodeKeyInt16(const uint8_t* in) {
  return static_cast<int16_t>(static_cast<uint16_t>(GetBigEndian(in, 2) ^ 0x8000u));
}

int32_t DecodeKeyInt32(const uint8_t* in) {
  return static_cast<int32_t>(static_cast<uint32_t>(GetBigEndian(in, 4) ^ 0x80000000u));
}

int64_t DecodeKeyInt64(const uint8_t* in) {
  return static_cast<int64_t>(GetBigEndian(in, 8) ^ 0x8000000000000000ull);
}

double DecodeKeyDouble(const uint8_t* in) {
  uint64_t bits = GetBigEndian(in, 8);
  if (bits & 0x8000000000000000ull)
    bits &= ~0x8000000000000000ull;
  else
    bits = ~bits;
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

}  // namespace ficha
