// Little-endian integer access shared by every on-disk format of the engine.
// The helpers never check the buffer: REQUIRES p points at enough bytes.
#pragma once

#include <cstdint>
#include <cstring>

namespace ficha {

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t GetI16(const uint8_t* p) { return static_cast<int16_t>(GetU16(p)); }
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }
inline int64_t GetI64(const uint8_t* p) {
  return static_cast<int64_t>(static_cast<uint64_t>(GetU32(p)) |
                              (static_cast<uint64_t>(GetU32(p + 4)) << 32));
}
inline double GetF64(const uint8_t* p) {
  const uint64_t bits = static_cast<uint64_t>(GetI64(p));
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutI16(uint8_t* p, int16_t v) { PutU16(p, static_cast<uint16_t>(v)); }
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }
inline void PutI64(uint8_t* p, int64_t v) {
  const uint64_t u = static_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
inline void PutF64(uint8_t* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  PutI64(p, static_cast<int64_t>(bits));
}

}  // namespace ficha
