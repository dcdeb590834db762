#include "lib/lang/Cp1252.h"

#include <array>

namespace ficha {

namespace {

// 0x80..0x9F; the rest of 1252 equals Latin-1. Undefined bytes keep their
// own value as C1 controls.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

char16_t Cp1252ToUnicode(unsigned char c) {
  if (c >= 0x80 && c <= 0x9F) return kHigh[c - 0x80];
  return c;
}

bool UnicodeToCp1252(char32_t code_point, unsigned char* c) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    *c = static_cast<unsigned char>(code_point);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == code_point) {
      *c = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char ch : text) AppendUtf8(Cp1252ToUnicode(static_cast<unsigned char>(ch)), &out);
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      cp = lead & 0x07;
    } else {
      out.push_back('?');
      ++i;
      continue;
    }
    bool ok = i + static_cast<size_t>(extra) < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
      unsigned char cont = static_cast<unsigned char>(text[i + k]);
      if ((cont & 0xC0) != 0x80) {
        ok = false;
      } else {
        cp = (cp << 6) | (cont & 0x3F);
      }
    }
    if (!ok) {
      out.push_back('?');
      ++i;
      continue;
    }
    i += static_cast<size_t>(extra) + 1;
    unsigned char c;
    out.push_back(UnicodeToCp1252(cp, &c) ? static_cast<char>(c) : '?');
  }
  return out;
}

}  // namespace ficha
