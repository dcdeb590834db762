// Header strings of every table file: one length byte, then the characters,
// zero-padded to the field's width. The helpers never check the buffer:
// REQUIRES the field's width + 1 bytes at p, already zeroed when writing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ficha {

// Writes at most width characters of text.
inline void PutShortString(uint8_t* p, std::string_view text, size_t width) {
  const size_t n = std::min(text.size(), width);
  p[0] = static_cast<uint8_t>(n);
  std::memcpy(p + 1, text.data(), n);
}

// Reads the string; a damaged length byte is cut to the width.
inline std::string GetShortString(const uint8_t* p, size_t width) {
  const size_t n = std::min<size_t>(p[0], width);
  return std::string(reinterpret_cast<const char*>(p + 1), n);
}

}  // namespace ficha
