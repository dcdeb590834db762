// Word-splitting settings of a table's text index ("Sys Text") and the
// splitting itself.
//
// A text is split into words with a set of space characters, a set of
// include characters and a list of stop words. A space character ends the
// current word; any other character is kept only when it is an include
// character and the word has fewer than 60 characters. Each distinct word
// (compared case-insensitively by the table's language) that is not a stop
// word yields one key. The settings chain layout is in TextIndexSettings.cpp.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/index/IndexKey.h"

namespace ficha {

constexpr int kMaxTextWordLength = 60;
constexpr int kMaxStopWordLength = 255;

struct TTextIndexSettings {
  std::bitset<256> spaces;
  std::bitset<256> includes;
  std::vector<std::string> stop_words;

  // Codes 1-32, 42-47, 58-62, 92 and 96 are spaces; digits, letters, "_"
  // and codes 128-254 are included; 22 English stop words.
  static TTextIndexSettings Defaults();
  bool operator==(const TTextIndexSettings& other) const = default;

  // The words of text, folded to upper case with language, in order of
  // first appearance, without repeats and stop words. With for_search the
  // character "*" never ends a word and is always kept (search patterns).
  std::vector<std::string> SplitWords(std::string_view text, const TKeyLanguage& language,
                                      bool for_search = false) const;

  // The chain's data: a sequence of 4083-byte page payloads.
  std::vector<std::vector<uint8_t>> Encode() const;
  // Reads a chain; next_page(i) yields the payload of the i-th page (i >= 1)
  // or returns false when the chain has no such page. Returns 0 or -8965
  // for a chain that does not decode.
  static int Decode(const std::function<bool(int, const uint8_t**)>& page_data,
                    TTextIndexSettings* out);
};

}  // namespace ficha
