#include "app/ProgramDirectory.h"

#include <filesystem>
#include <system_error>

#include "app/Application.h"

namespace ficha {

std::string WithProgramDirectoryEnd(const std::string& dir) {
  std::error_code ec;
  std::string d = std::filesystem::absolute(dir, ec).string();
  if (ec) d = dir;
  while (d.size() > 1 && (d.back() == '/' || d.back() == '\\')) d.pop_back();
  if (d == "/") return "/";
  return d + "\\";
}

std::string ProgramDirectory() {
  if (!Application().ProgramDirectory.empty()) {
    return WithProgramDirectoryEnd(Application().ProgramDirectory);
  }
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return WithProgramDirectoryEnd(".");
  return WithProgramDirectoryEnd(exe.parent_path().string());
}

}  // namespace ficha
