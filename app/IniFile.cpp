// INI file layout as read and written here:
//
//   [Section]            a section header: name between "[" and the first "]"
//   Key=Value            a key line: name before the first "=", value after
//   ; anything           any other line (comments, blanks) is kept, never read
//
// Lines end in CRLF or LF; the end of each existing line is kept as found and
// new lines take the end of the file's first line (CRLF for a new file).
#include "app/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/EngineError.h"
#include "lib/file/OsPath.h"

namespace ficha {
namespace {

struct Line {
  std::string text;  // without its end
  std::string end;   // "\r\n", "\n" or "" for a last line without end
};

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The section name of a header line, or false.
bool SectionOf(const std::string& text, std::string* name) {
  std::string t = Trim(text);
  if (t.empty() || t[0] != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  *name = Trim(std::string_view(t).substr(1, close - 1));
  return true;
}

// The key name and value of a key line, or false.
bool KeyOf(const std::string& text, std::string* key, std::string* value) {
  size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(std::string_view(text).substr(0, eq));
  if (key->empty() || (*key)[0] == ';') return false;
  *value = Trim(std::string_view(text).substr(eq + 1));
  if (value->size() >= 2 && (value->front() == '"' || value->front() == '\'') &&
      value->back() == value->front()) {
    *value = value->substr(1, value->size() - 2);
  }
  return true;
}

// False when the file does not exist or cannot be read.
bool ReadLines(const std::string& path, std::vector<Line>* lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  std::string data = ss.str();
  size_t pos = 0;
  while (pos < data.size()) {
    size_t nl = data.find('\n', pos);
    Line line;
    if (nl == std::string::npos) {
      line.text = data.substr(pos);
      pos = data.size();
    } else {
      line.text = data.substr(pos, nl - pos);
      line.end = "\n";
      pos = nl + 1;
    }
    if (!line.text.empty() && line.text.back() == '\r') {
      line.text.pop_back();
      line.end = "\r" + line.end;
    }
    lines->push_back(std::move(line));
  }
  return true;
}

// Writes the lines to a new file beside `path` and renames it over `path`,
// keeping the old file's permissions.
bool WriteLines(const std::string& path, const std::vector<Line>& lines) {
  std::string data;
  for (const Line& l : lines) data += l.text + l.end;
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  struct stat st;
  fchmod(fd, stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  size_t done = 0;
  bool ok = true;
  while (ok && done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& default_value) const {
  std::vector<Line> lines;
  if (!ReadLines(ResolveOsPath(file_name_), &lines)) return default_value;
  std::string want_section = Trim(section), want_key = Trim(key);
  bool in_section = false;
  bool seen_section = false;
  for (const Line& l : lines) {
    std::string name, value;
    if (SectionOf(l.text, &name)) {
      // Only the first section of a name counts.
      if (in_section) break;
      in_section = !seen_section && SameText(name, want_section);
      seen_section = seen_section || in_section;
    } else if (in_section && KeyOf(l.text, &name, &value) && SameText(name, want_key)) {
      return value;
    }
  }
  return default_value;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key,
                          int default_value) const {
  std::string s = ReadString(section, key, "");
  if (s.empty()) return default_value;
  size_t i = 0;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
  int base = 10;
  if (s.compare(i, 1, "$") == 0) {
    base = 16;
    i += 1;
  } else if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return default_value;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str() + i, &end, base);
  if (errno != 0 || *end != '\0' || s[i] == '+' || s[i] == '-' || s[i] == ' ') return default_value;
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return default_value;
  return static_cast<int>(v);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  std::string path = ResolveOsPath(file_name_);
  std::vector<Line> lines;
  ReadLines(path, &lines);
  std::string eol = lines.empty() || lines[0].end.empty() ? "\r\n" : lines[0].end;
  std::string want_section = Trim(section), want_key = Trim(key);
  Line entry{want_key + "=" + value, eol};

  // Locate the first section of that name and, in it, the key and the last
  // non-blank line.
  size_t section_at = lines.size(), last_content = lines.size();
  bool replaced = false;
  for (size_t i = 0; i < lines.size() && !replaced; ++i) {
    std::string name, v;
    if (SectionOf(lines[i].text, &name)) {
      if (section_at != lines.size()) break;
      if (SameText(name, want_section)) section_at = last_content = i;
    } else if (section_at != lines.size()) {
      if (KeyOf(lines[i].text, &name, &v) && SameText(name, want_key)) {
        entry.end = lines[i].end.empty() ? eol : lines[i].end;
        lines[i] = entry;
        replaced = true;
      } else if (!Trim(lines[i].text).empty()) {
        last_content = i;
      }
    }
  }
  if (!replaced) {
    if (section_at != lines.size()) {
      if (lines[last_content].end.empty()) lines[last_content].end = eol;
      lines.insert(lines.begin() + static_cast<long>(last_content) + 1, entry);
    } else {
      if (!lines.empty()) {
        if (lines.back().end.empty()) lines.back().end = eol;
        lines.push_back(Line{"", eol});
      }
      lines.push_back(Line{"[" + want_section + "]", eol});
      lines.push_back(entry);
    }
  }
  if (!WriteLines(path, lines)) throw Exception("Unable to write to " + file_name_);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace ficha
