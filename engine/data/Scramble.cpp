// The scrambling routine of encrypted tables. With L and H the low and high
// bytes of the running value, byte i of the block becomes
//   byte ^ L ^ H;  then L = L + 1, H = H - 1 (both modulo 256).
// A block length whose low 16 bits are zero leaves the block unchanged; the
// files written so far depend on this, so it stays.
#include "engine/data/Scramble.h"

namespace ficha {

void ScrambleBytes(uint8_t* data, size_t length, uint16_t start) {
  if ((length & 0xFFFF) == 0) return;
  uint8_t low = static_cast<uint8_t>(start & 0xFF);
  uint8_t high = static_cast<uint8_t>(start >> 8);
  for (size_t i = 0; i < length; ++i) {
    data[i] = static_cast<uint8_t>(data[i] ^ low ^ high);
    ++low;
    --high;
  }
}

std::string ScrambleText(const std::string& text) {
  std::string out = text;
  ScrambleBytes(reinterpret_cast<uint8_t*>(out.data()), out.size(), kScrambleTextStart);
  return out;
}

}  // namespace ficha
