// Upper- and lower-case folding of 1252 text by a table's language.
//
// Folding is one byte to one byte, so a text keeps its length. Language 0
// uses the English (USA) mapping of 1252 (a fixed table, no ICU): a-z,
// the accented letters 0xE0-0xFE except 0xF7, and the pairs 0x8A/0x9A,
// 0x8C/0x9C, 0x8E/0x9E, 0x9F/0xFF. Other languages take ICU's mapping for
// their locale; where the locale's result has no single 1252 character the
// language-neutral mapping is taken (Turkish i -> I), and where that has none
// either (sharp s -> "SS") the character is left as it is.
// The 256-entry maps are built once per (language, sort) and cached
// process-wide; all functions are thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "lib/lang/LanguageTable.h"

namespace ficha {

unsigned char UpperChar(LanguageId language, SortId sort, unsigned char c);
unsigned char LowerChar(LanguageId language, SortId sort, unsigned char c);

// Fold a zero-terminated text in place. REQUIRES: text != nullptr.
void UpperCaseText(LanguageId language, SortId sort, char* text);
void LowerCaseText(LanguageId language, SortId sort, char* text);

// Fold every byte of a string (embedded zeros stay zero).
void UpperCaseInPlace(LanguageId language, SortId sort, std::string& text);
void LowerCaseInPlace(LanguageId language, SortId sort, std::string& text);
std::string ToUpper(LanguageId language, SortId sort, std::string_view text);
std::string ToLower(LanguageId language, SortId sort, std::string_view text);

}  // namespace ficha
