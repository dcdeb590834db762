// Internal to lib/lang: the English (USA) case mapping of Windows-1252, used
// by language 0 without asking ICU.
#pragma once

#include <array>

namespace ficha {

using ByteMap = std::array<unsigned char, 256>;

constexpr ByteMap MakeAnsiUpper() {
  ByteMap map{};
  for (int c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) map[c] = static_cast<unsigned char>(c - 32);
  for (int c = 0xE0; c <= 0xFE; ++c) {
    if (c != 0xF7) map[c] = static_cast<unsigned char>(c - 32);  // 0xF7 is the division sign
  }
  map[0x9A] = 0x8A;  // s caron
  map[0x9C] = 0x8C;  // oe
  map[0x9E] = 0x8E;  // z caron
  map[0xFF] = 0x9F;  // y diaeresis
  return map;
}

constexpr ByteMap MakeAnsiLower() {
  ByteMap upper = MakeAnsiUpper();
  ByteMap map{};
  for (int c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(c);
  for (int c = 0; c < 256; ++c) {
    if (upper[c] != c) map[upper[c]] = static_cast<unsigned char>(c);
  }
  return map;
}

inline constexpr ByteMap kAnsiUpper = MakeAnsiUpper();
inline constexpr ByteMap kAnsiLower = MakeAnsiLower();

}  // namespace ficha
