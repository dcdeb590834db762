#include "lib/lang/Collation.h"

#include <cstring>
#include <vector>

#include "lib/lang/AnsiCase.h"
#include "lib/lang/Cp1252.h"
#include "lib/lang/IcuCollators.h"

namespace ficha {

namespace {

// Byte order over n logical bytes, a byte past a text's length reading as 0.
int AnsiCompare(const unsigned char* a, size_t alen, const unsigned char* b, size_t blen, size_t n,
                bool case_insensitive) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = i < alen ? a[i] : 0;
    unsigned char y = i < blen ? b[i] : 0;
    if (case_insensitive) {
      x = kAnsiUpper[x];
      y = kAnsiUpper[y];
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// Text length up to the first zero, at most `limit`.
size_t ZeroCut(const char* text, size_t limit) {
  const void* zero = std::memchr(text, 0, limit);
  return zero == nullptr ? limit : static_cast<size_t>(static_cast<const char*>(zero) - text);
}

// UTF-16 copy of 1252 text, on the stack for the usual short keys.
class Utf16Buffer {
 public:
  Utf16Buffer(const char* text, size_t length) : length_(static_cast<int32_t>(length)) {
    UChar* out = inline_;
    if (length > sizeof(inline_) / sizeof(inline_[0])) {
      heap_.resize(length);
      out = heap_.data();
    }
    for (size_t i = 0; i < length; ++i) {
      out[i] = static_cast<UChar>(Cp1252ToUnicode(static_cast<unsigned char>(text[i])));
    }
    data_ = out;
  }
  Utf16Buffer(const Utf16Buffer&) = delete;
  Utf16Buffer& operator=(const Utf16Buffer&) = delete;

  const UChar* data() const { return data_; }
  int32_t length() const { return length_; }

 private:
  UChar inline_[256];
  std::vector<UChar> heap_;
  const UChar* data_;
  int32_t length_;
};

int LocaleCompare(LanguageId language, SortId sort, const char* a, size_t alen, const char* b,
                  size_t blen, bool case_insensitive) {
  const icu::Collator* collator = GetIcuCollator(language, sort, case_insensitive);
  if (collator == nullptr) {
    // ICU unusable: fall back to byte order rather than failing every compare.
    size_t n = (alen > blen ? alen : blen) + 1;
    return AnsiCompare(reinterpret_cast<const unsigned char*>(a), alen,
                       reinterpret_cast<const unsigned char*>(b), blen, n, case_insensitive);
  }
  Utf16Buffer ua(a, alen);
  Utf16Buffer ub(b, blen);
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = collator->compare(ua.data(), ua.length(), ub.data(), ub.length(), status);
  if (r == UCOL_LESS) return -1;
  return r == UCOL_GREATER ? 1 : 0;
}

}  // namespace

int CompareText(LanguageId language, SortId sort, const char* a, bool case_insensitive,
                size_t length, const char* b) {
  if (language != kLanguageAnsiStandard) {
    size_t alen = length > 0 ? ZeroCut(a, length) : std::strlen(a);
    size_t blen = length > 0 ? ZeroCut(b, length) : std::strlen(b);
    return LocaleCompare(language, sort, a, alen, b, blen, case_insensitive);
  }
  const auto* ua = reinterpret_cast<const unsigned char*>(a);
  const auto* ub = reinterpret_cast<const unsigned char*>(b);
  if (length > 0) return AnsiCompare(ua, length, ub, length, length, case_insensitive);
  size_t alen = std::strlen(a);
  return AnsiCompare(ua, alen, ub, std::strlen(b), alen + 1, case_insensitive);
}

int CompareText(LanguageId language, SortId sort, std::string_view a, bool case_insensitive,
                size_t length, std::string_view b) {
  if (language != kLanguageAnsiStandard) {
    size_t alen = ZeroCut(a.data(), length > 0 && length < a.size() ? length : a.size());
    size_t blen = ZeroCut(b.data(), length > 0 && length < b.size() ? length : b.size());
    return LocaleCompare(language, sort, a.data(), alen, b.data(), blen, case_insensitive);
  }
  const auto* ua = reinterpret_cast<const unsigned char*>(a.data());
  const auto* ub = reinterpret_cast<const unsigned char*>(b.data());
  size_t n = length > 0 ? length : ZeroCut(a.data(), a.size()) + 1;
  return AnsiCompare(ua, a.size(), ub, b.size(), n, case_insensitive);
}

int CompareChar(LanguageId language, SortId sort, unsigned char a, unsigned char b) {
  if (language == kLanguageAnsiStandard) return a == b ? 0 : (a < b ? -1 : 1);
  char ca = static_cast<char>(a);
  char cb = static_cast<char>(b);
  return LocaleCompare(language, sort, &ca, a == 0 ? 0 : 1, &cb, b == 0 ? 0 : 1, false);
}

int CompareBytes(const void* a, const void* b, size_t n, bool descending) {
  if (a == nullptr) return 1;
  int r = n == 0 ? 0 : std::memcmp(a, b, n);
  if (r != 0) r = r < 0 ? -1 : 1;
  return descending ? -r : r;
}

}  // namespace ficha
