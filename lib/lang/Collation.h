// Text comparison by a table's language and sort order, and the plain byte
// comparison of keys.
//
// Three rules:
//  - language != 0: ICU collation of the table's locale with accents
//    (non-spacing marks) ignored; case distinguishes unless case-insensitive.
//    ICU is asked for primary strength with the case level switched on
//    (case-sensitive) or off (case-insensitive). Punctuation is not ignored.
//  - language 0, case-sensitive: unsigned byte order.
//  - language 0, case-insensitive: both texts folded to upper case with the
//    English (USA) mapping (a fixed table; ICU is never called), then bytes.
// Results are -1, 0 or 1, the sign of A - B. All functions are thread-safe;
// collators are built once per (language, sort, case rule) and cached for the
// life of the process.
#pragma once

#include <cstddef>
#include <string_view>

#include "lib/lang/LanguageTable.h"

namespace ficha {

// Compares zero-terminated or fixed-length texts.
//  length == 0: both texts up to their terminating zero (language 0 compares
//    strlen(a) + 1 bytes, so "AB" < "ABC").
//  length > 0: exactly `length` bytes of each (REQUIRES: both readable for
//    `length` bytes). Language 0 compares all of them, zeros included; a
//    locale comparison ends each text at its first zero within `length`.
int CompareText(LanguageId language, SortId sort, const char* a, bool case_insensitive,
                size_t length, const char* b);

// The same rules for texts held in views: each view is taken as a
// zero-terminated text (its bytes followed by a terminator). length > 0 limits
// the comparison to that many characters, reading zeros past a view's end.
int CompareText(LanguageId language, SortId sort, std::string_view a, bool case_insensitive,
                size_t length, std::string_view b);

// Two single characters, case-sensitive: the locale rule for language != 0,
// byte order for language 0.
int CompareChar(LanguageId language, SortId sort, unsigned char a, unsigned char b);

// Unsigned comparison of n bytes; the sign of the first difference, inverted
// when `descending`. A null `a` compares greater than anything.
int CompareBytes(const void* a, const void* b, size_t n, bool descending = false);

}  // namespace ficha
