// The byte-scrambling routine of encrypted tables.
//
// Starting from a two-byte value (low byte L, high byte H), each byte becomes
// byte ^ L ^ H, then L is incremented and H decremented (both wrap within 8
// bits). Applying the routine twice restores the block. A block whose length
// has its low 16 bits all zero is left unchanged (stored files rely on this).
//
// Two fixed starting values serve every table and file of the system: one for
// the table's description and password, the other for field definitions,
// records, index header and pages, and blob header and blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ficha {

constexpr uint16_t kScrambleTextStart = 0x6B2D;   // description and password
constexpr uint16_t kScrambleBlockStart = 0x39C4;  // definitions, records, pages, blocks

// Scrambles (or unscrambles) length bytes in place.
void ScrambleBytes(uint8_t* data, size_t length, uint16_t start);

// The routine with the block starting value: used for field definitions,
// records, index file header and pages, blob file header and blocks.
inline void ScrambleBlock(uint8_t* data, size_t length) {
  ScrambleBytes(data, length, kScrambleBlockStart);
}

// A copy of text passed through the routine with the text starting value.
std::string ScrambleText(const std::string& text);

}  // namespace ficha
