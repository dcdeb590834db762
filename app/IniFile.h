// TIniFile: reads and writes one INI file the way the Windows profile-string
// functions do, so that files shared with the other programs of the system
// keep working.
//
//   - Section and key names match without regard to ASCII case and
//     surrounding blanks; the first matching section and key win.
//   - Values are trimmed; one pair of matching surrounding quotes is removed.
//   - A missing file, section or key gives the default.
//   - A write replaces the key's line, or adds the key at the end of its
//     section, or adds the section (after an empty line) at the end of the
//     file, creating the file when missing. Every other line is kept byte
//     for byte, line ends included. The file is replaced atomically.
//
// The path may use "\" or "/"; a file name that differs only in case from an
// existing file names that file. Every call reads the file again, so
// several TIniFile objects on one file always see each other's writes.
#pragma once

#include <string>

namespace ficha {

class TIniFile {
 public:
  explicit TIniFile(std::string file_name) : file_name_(std::move(file_name)) {}

  const std::string& FileName() const { return file_name_; }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) const;
  // Decimal with optional sign, or hexadecimal with "$" or "0x"; anything
  // else gives the default.
  int ReadInteger(const std::string& section, const std::string& key, int default_value) const;
  // Integer, non-zero is true.
  bool ReadBool(const std::string& section, const std::string& key, bool default_value) const;

  // Raises Exception "Unable to write to <file>" when the file cannot be
  // written; the old file is then unchanged.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  // Written as 1 or 0.
  void WriteBool(const std::string& section, const std::string& key, bool value);

 private:
  std::string file_name_;
};

}  // namespace ficha
