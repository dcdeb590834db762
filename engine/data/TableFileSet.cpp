// Names and whole-set operations of a table's files.
#include "engine/data/TableFileSet.h"

#include "common/EngineError.h"
#include "lib/file/FileList.h"
#include "lib/file/OsError.h"

namespace ficha {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// Raises a file-layer result for the named file, with the OS error it kept.
void Check(int result, const std::string& file_name) {
  if (result >= 0) return;
  RestoreOsError();
  RaiseEngineError(result, file_name);
}

constexpr std::string_view kSetExtensions[] = {kDataFileExt, kIndexFileExt, kBlobFileExt};

}  // namespace

std::string WithTableExtension(std::string_view name, std::string_view ext) {
  std::string_view trimmed = Trim(name);
  if (trimmed.size() >= kDataFileExt.size() &&
      EqualsIgnoringCase(trimmed.substr(trimmed.size() - kDataFileExt.size()), kDataFileExt)) {
    trimmed.remove_suffix(kDataFileExt.size());
  }
  std::string out(trimmed);
  out.append(ext);
  return out;
}

std::string TableFileName(std::string_view directory, std::string_view table_name,
                          std::string_view ext) {
  std::string out(directory);
  out += WithTableExtension(table_name, ext);
  return out;
}

std::string_view BackupExtension(std::string_view ext) {
  if (EqualsIgnoringCase(ext, kDataFileExt)) return kDataBackupExt;
  if (EqualsIgnoringCase(ext, kIndexFileExt)) return kIndexBackupExt;
  if (EqualsIgnoringCase(ext, kBlobFileExt)) return kBlobBackupExt;
  return ext;
}

// A new name that already says where it goes (a drive or a path; "/" counts
// as a separator as on this platform) is used as given.
std::string RenamedTableFileName(std::string_view directory, std::string_view new_name,
                                 bool in_memory, std::string_view ext, bool to_backup) {
  bool as_given =
      new_name.empty() || in_memory || new_name.find_first_of(":\\/") != std::string_view::npos;
  std::string base =
      as_given ? std::string(new_name) : std::string(directory) + std::string(new_name);
  return WithTableExtension(base, to_backup ? BackupExtension(ext) : ext);
}

void DeleteTableFileSet(std::string_view directory, std::string_view table_name, bool in_memory) {
  TFileList& list = FileList();
  std::string data = TableFileName(directory, table_name, kDataFileExt);
  Check(list.Delete(data, in_memory), data);
  for (std::string_view ext : {kIndexFileExt, kBlobFileExt}) {
    std::string name = TableFileName(directory, table_name, ext);
    if (list.Exists(name, in_memory)) Check(list.Delete(name, in_memory), name);
  }
}

void RenameTableFileSet(std::string_view directory, std::string_view table_name,
                        std::string_view new_name, bool in_memory, bool to_backup) {
  TFileList& list = FileList();
  for (std::string_view ext : kSetExtensions) {
    std::string source = TableFileName(directory, table_name, ext);
    std::string target = RenamedTableFileName(directory, new_name, in_memory, ext, to_backup);
    if (to_backup && list.Exists(target, in_memory)) Check(list.Delete(target, in_memory), target);
    if (list.Exists(source, in_memory)) Check(list.Rename(source, in_memory, target), source);
  }
}

}  // namespace ficha
