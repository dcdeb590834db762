// Windows-1252, the character set of all stored text, to and from Unicode.
//
// The five bytes that 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 control of the same value, so every byte round-trips.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ficha {

// UTF-16 code unit (all 1252 characters are in the BMP) of a byte.
char16_t Cp1252ToUnicode(unsigned char c);

// The 1252 byte of a code point; false when 1252 has no such character.
bool UnicodeToCp1252(char32_t code_point, unsigned char* c);

// For text that leaves for a person (terminal log, error messages).
std::string Cp1252ToUtf8(std::string_view text);
// Characters without a 1252 equivalent and malformed UTF-8 become '?'.
std::string Utf8ToCp1252(std::string_view text);

}  // namespace ficha
