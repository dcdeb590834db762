#include "app/FormatSettings.h"

#include <cstdio>

namespace ficha {

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

std::string FormatDate(const std::string& pattern, int year, int month, int day) {
  std::string out;
  char buf[16];
  for (size_t i = 0; i < pattern.size();) {
    if (pattern.compare(i, 4, "yyyy") == 0) {
      std::snprintf(buf, sizeof buf, "%04d", year);
      out += buf;
      i += 4;
    } else if (pattern.compare(i, 2, "mm") == 0) {
      std::snprintf(buf, sizeof buf, "%02d", month);
      out += buf;
      i += 2;
    } else if (pattern.compare(i, 2, "dd") == 0) {
      std::snprintf(buf, sizeof buf, "%02d", day);
      out += buf;
      i += 2;
    } else {
      out += pattern[i++];
    }
  }
  return out;
}

}  // namespace ficha
