// Comparison of component names (sessions, databases): without regard to
// ASCII letter case, as the engine compares names.
#pragma once

#include <string>
#include <string_view>

namespace ficha {

inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The text with every "/" replaced by "\": names and directories of databases
// are kept in the backslash convention.
inline std::string WithBackslashes(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

}  // namespace ficha
