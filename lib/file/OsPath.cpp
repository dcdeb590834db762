#include "lib/file/OsPath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace ficha {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The first entry of dir equal to name ignoring case, in directory order;
// empty when none.
std::string FindEntryIgnoringCase(const std::string& dir, std::string_view name) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return {};
  std::string found;
  while (dirent* e = readdir(d)) {
    std::string_view entry(e->d_name);
    if (entry == "." || entry == "..") continue;
    if (EqualIgnoringCase(entry, name)) {
      found = std::string(entry);
      break;
    }
  }
  closedir(d);
  return found;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string ToOsPath(std::string_view path) {
  std::string out(path);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

std::string ResolveOsPath(std::string_view path) {
  std::string os = ToOsPath(path);
  if (os.empty() || PathExists(os)) return os;
  // Walk the components, keeping the longest prefix known to exist.
  std::string out;
  size_t pos = 0;
  if (os[0] == '/') {
    out = "/";
    pos = 1;
  }
  bool exists = true;  // whether out names an existing directory so far
  while (pos <= os.size()) {
    size_t slash = os.find('/', pos);
    size_t end = slash == std::string::npos ? os.size() : slash;
    std::string_view comp(os.data() + pos, end - pos);
    std::string dir = out;
    if (!comp.empty()) {
      std::string candidate = out + std::string(comp);
      if (exists && comp != "." && comp != ".." && !PathExists(candidate)) {
        std::string match = FindEntryIgnoringCase(dir, comp);
        if (!match.empty()) {
          candidate = out + match;
        } else {
          exists = false;
        }
      }
      out = candidate;
    }
    if (slash == std::string::npos) break;
    if (out.empty() || out.back() != '/') out.push_back('/');
    pos = slash + 1;
  }
  return out;
}

std::string_view BaseName(std::string_view path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool HasWildcards(std::string_view path) {
  return BaseName(path).find_first_of("*?") != std::string_view::npos;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") return true;
  // Iterative matcher with one backtrack point for the last "*".
  size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> FindFiles(std::string_view pattern) {
  std::string os = ToOsPath(pattern);
  size_t cut = os.find_last_of('/');
  std::string dir = cut == std::string::npos ? std::string() : os.substr(0, cut + 1);
  std::string mask = cut == std::string::npos ? os : os.substr(cut + 1);
  std::vector<std::string> names;
  if (mask.empty()) return names;
  std::string resolved_dir = dir.empty() ? std::string() : ResolveOsPath(dir);
  if (!resolved_dir.empty() && resolved_dir.back() != '/') resolved_dir.push_back('/');
  DIR* d = opendir(resolved_dir.empty() ? "." : resolved_dir.c_str());
  if (d == nullptr) return names;
  bool wild = mask.find_first_of("*?") != std::string::npos;
  while (dirent* e = readdir(d)) {
    std::string_view entry(e->d_name);
    bool match = wild ? WildcardMatch(mask, entry) : EqualIgnoringCase(mask, entry);
    if (match && IsRegularFile(resolved_dir + std::string(entry))) names.emplace_back(entry);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

bool OsFileExists(std::string_view path) {
  if (HasWildcards(path)) return !FindFiles(path).empty();
  return IsRegularFile(ResolveOsPath(path));
}

}  // namespace ficha
