#include "engine/session/TableNames.h"

#include <cctype>

namespace ficha {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string_view TrimName(std::string_view name) {
  while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
  while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
  return name;
}

bool SameName(std::string_view a, std::string_view b) {
  return EqualIgnoringCase(TrimName(a), TrimName(b));
}

bool SameDirectory(std::string_view a, std::string_view b) {
  a = TrimName(a);
  b = TrimName(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] == '/' ? '\\' : Fold(a[i]);
    char y = b[i] == '/' ? '\\' : Fold(b[i]);
    if (x != y) return false;
  }
  return true;
}

bool IsMemoryDatabaseName(std::string_view name) { return SameName(name, "Memory"); }

bool HasDataExtension(std::string_view name) {
  name = TrimName(name);
  return name.size() >= 4 && EqualIgnoringCase(name.substr(name.size() - 4), ".DAT");
}

std::string CursorTableName(std::string_view name) {
  name = TrimName(name);
  size_t cut = name.find_last_of("\\/:");
  if (cut != std::string_view::npos) name.remove_prefix(cut + 1);
  if (HasDataExtension(name)) name.remove_suffix(4);
  return std::string(name);
}

}  // namespace ficha
