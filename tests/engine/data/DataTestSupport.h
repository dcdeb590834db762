// Small fixtures for the data-file tests: a scratch directory, field
// definitions and raw access to the bytes on disk.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/EngineError.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/PlainTableOwner.h"

namespace ficha::testing {

// The engine code raised by f, 0 when it raised nothing.
inline int CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EFichaEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ficha_data_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const char* made = mkdtemp(buffer.data());
    if (made != nullptr) path_ = made;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The directory with a trailing separator, as engine directories are.
  std::string Dir() const { return path_ + "/"; }
  std::string File(const std::string& name) const { return Dir() + name; }

 private:
  std::string path_;
};

inline std::vector<uint8_t> ReadDiskFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteDiskFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline uint64_t DiskFileSize(const std::string& path) { return std::filesystem::file_size(path); }

// Creates a table's data file at path with the given definitions and writes
// header and definitions back, then closes it.
inline void CreateTable(const std::string& path, TPlainTableOwner& owner, TNewTableInfo info) {
  TDataFile file(&owner);
  file.SetName(path);
  file.InitializeDataFile(info);
  file.WriteBack(false, false);
  file.CloseFile();
}

// The table "T" with an autoincrement field and two integers (record size 19).
inline TNewTableInfo AutoIncAndTwoIntegers() {
  TNewTableInfo info;
  info.fields = {MakeFieldDef(1, "ID", kFldInteger, 0, kSubAutoInc),
                 MakeFieldDef(2, "A", kFldInteger), MakeFieldDef(3, "B", kFldInteger)};
  return info;
}

}  // namespace ficha::testing
