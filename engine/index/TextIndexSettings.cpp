// Settings chain of the text index: raw pages (type 4) of the "Sys Text"
// index, the first named by its slot's first settings page, the others
// linked through the pages' next-page fields. The 4083 data bytes of the
// pages form one stream:
//
//   4       number of stop words (>= 0)
//   each    4-byte length, then the word's characters (at most 255)
//   4       length of the space set (32), then 32 bytes
//   4       length of the include set (32), then 32 bytes
//           (bit c % 8 of byte c / 8 set for character code c)
//
// A value (a length or the bytes it announces) that would not end within
// the current page's 4083 bytes starts at position 0 of the next page.
// Integers little-endian.
#include "engine/index/TextIndexSettings.h"

#include <set>

#include "common/ErrorCodes.h"
#include "engine/index/IndexHeader.h"
#include "engine/index/Page.h"
#include "lib/lang/Collation.h"

namespace ficha {

TTextIndexSettings TTextIndexSettings::Defaults() {
  TTextIndexSettings s;
  for (int c = 1; c <= 32; ++c) s.spaces.set(c);
  for (int c = 42; c <= 47; ++c) s.spaces.set(c);
  for (int c = 58; c <= 62; ++c) s.spaces.set(c);
  s.spaces.set(92);
  s.spaces.set(96);
  for (int c = '0'; c <= '9'; ++c) s.includes.set(c);
  for (int c = 'A'; c <= 'Z'; ++c) s.includes.set(c);
  for (int c = 'a'; c <= 'z'; ++c) s.includes.set(c);
  s.includes.set('_');
  for (int c = 128; c <= 254; ++c) s.includes.set(c);
  s.stop_words = {"A",   "AN",   "AND",  "BE",    "FOR",  "HOW", "IN",   "IS",
                  "IT",  "OF",   "ON",   "OR",    "THAT", "THE", "THIS", "TO",
                  "WAS", "WHAT", "WHEN", "WHICH", "WHY",  "WILL"};
  return s;
}

std::vector<std::string> TTextIndexSettings::SplitWords(std::string_view text,
                                                        const TKeyLanguage& language,
                                                        bool for_search) const {
  // Words compare without regard to case by the table's language.
  auto less = [&language](const std::string& a, const std::string& b) {
    return CompareText(language.language, language.sort, a, true, 0, b) < 0;
  };
  std::set<std::string, decltype(less)> seen(less);
  std::set<std::string, decltype(less)> stops(less);
  for (const std::string& w : stop_words) stops.insert(w);
  std::vector<std::string> words;
  std::string word;
  auto finish = [&]() {
    if (word.empty()) return;
    language.FoldUpper(word);
    if (!stops.count(word) && seen.insert(word).second) words.push_back(word);
    word.clear();
  };
  for (unsigned char c : text) {
    if (for_search && c == '*') {
      word.push_back('*');
    } else if (spaces.test(c)) {
      finish();
    } else if (includes.test(c) && word.size() < kMaxTextWordLength) {
      word.push_back(static_cast<char>(c));
    }
  }
  finish();
  return words;
}

namespace {

// Writes values into page payloads, moving to a new page when a value would
// not end within the current one.
class TChainWriter {
 public:
  void Put(const uint8_t* data, size_t n) {
    if (pages_.empty() || pos_ + n > kPageDataSize) {
      pages_.emplace_back(kPageDataSize, 0);
      pos_ = 0;
    }
    std::copy(data, data + n, pages_.back().begin() + static_cast<long>(pos_));
    pos_ += n;
  }
  void PutInt(int32_t v) {
    uint8_t b[4];
    PutI32(b, v);
    Put(b, 4);
  }
  std::vector<std::vector<uint8_t>> pages_;
  size_t pos_ = 0;
};

class TChainReader {
 public:
  explicit TChainReader(const std::function<bool(int, const uint8_t**)>& source)
      : source_(source) {}
  // Returns false when the chain ends early.
  bool Get(uint8_t* out, int n) {
    if (n < 0 || n > kPageDataSize) return false;
    if (data_ == nullptr || pos_ + n > kPageDataSize) {
      if (!source_(++page_, &data_)) return false;
      pos_ = 0;
    }
    std::copy(data_ + pos_, data_ + pos_ + n, out);
    pos_ += n;
    return true;
  }
  bool GetInt(int32_t* v) {
    uint8_t b[4] = {};
    if (!Get(b, 4)) return false;
    *v = GetI32(b);
    return true;
  }

 private:
  const std::function<bool(int, const uint8_t**)>& source_;
  const uint8_t* data_ = nullptr;
  int page_ = 0;
  int pos_ = 0;
};

void PutSet(TChainWriter& w, const std::bitset<256>& set) {
  uint8_t bytes[32] = {};
  for (int c = 0; c < 256; ++c)
    if (set.test(c)) bytes[c / 8] |= static_cast<uint8_t>(1u << (c % 8));
  w.PutInt(32);
  w.Put(bytes, 32);
}

bool GetSet(TChainReader& r, std::bitset<256>* set) {
  int32_t len;
  if (!r.GetInt(&len) || len != 32) return false;
  uint8_t bytes[32] = {};
  if (!r.Get(bytes, 32)) return false;
  set->reset();
  for (int c = 0; c < 256; ++c)
    if (bytes[c / 8] & (1u << (c % 8))) set->set(c);
  return true;
}

}  // namespace

std::vector<std::vector<uint8_t>> TTextIndexSettings::Encode() const {
  TChainWriter w;
  w.PutInt(static_cast<int32_t>(stop_words.size()));
  for (const std::string& word : stop_words) {
    const size_t n = word.size() > kMaxStopWordLength ? kMaxStopWordLength : word.size();
    w.PutInt(static_cast<int32_t>(n));
    if (n > 0) w.Put(reinterpret_cast<const uint8_t*>(word.data()), n);
  }
  PutSet(w, spaces);
  PutSet(w, includes);
  return w.pages_;
}

int TTextIndexSettings::Decode(const std::function<bool(int, const uint8_t**)>& page_data,
                               TTextIndexSettings* out) {
  TChainReader r(page_data);
  TTextIndexSettings s;
  int32_t count;
  if (!r.GetInt(&count) || count < 0) return -FICHA_INDEXCORRUPT;
  for (int32_t i = 0; i < count; ++i) {
    int32_t len;
    // Stop words are kept as texts of at most 255 characters; a longer one
    // can only come from a damaged chain.
    if (!r.GetInt(&len) || len < 0 || len > kMaxStopWordLength) return -FICHA_INDEXCORRUPT;
    std::string word(static_cast<size_t>(len), '\0');
    if (len > 0 && !r.Get(reinterpret_cast<uint8_t*>(word.data()), len)) return -FICHA_INDEXCORRUPT;
    s.stop_words.push_back(std::move(word));
  }
  if (!GetSet(r, &s.spaces) || !GetSet(r, &s.includes)) return -FICHA_INDEXCORRUPT;
  *out = std::move(s);
  return 0;
}

}  // namespace ficha
