// The files of a table: their names, and deleting and renaming the set.
//
// A table is up to three files named after it: data ".DAT", index ".IDX" and
// blob ".BLB"; during maintenance backups ".DBK", ".IBK" and ".BBK". Opening
// and creating the set need the index and blob file classes and belong to
// the shared table, which builds the names with these rules.
#pragma once

#include <string>
#include <string_view>

namespace ficha {

constexpr std::string_view kDataFileExt = ".DAT";
constexpr std::string_view kIndexFileExt = ".IDX";
constexpr std::string_view kBlobFileExt = ".BLB";
constexpr std::string_view kDataBackupExt = ".DBK";
constexpr std::string_view kIndexBackupExt = ".IBK";
constexpr std::string_view kBlobBackupExt = ".BBK";

// The table's name with the extension ext: a trailing ".DAT" (any case) is
// replaced, any other name gets ext appended (so "T.OLD" gives "T.OLD.IDX").
// The name is trimmed first.
std::string WithTableExtension(std::string_view name, std::string_view ext);

// directory (kept as given, normally with a trailing backslash) + the
// trimmed table name with ext by the rule above.
std::string TableFileName(std::string_view directory, std::string_view table_name,
                          std::string_view ext);

// The name a file of the set gets when the table is renamed to new_name:
// new_name as given when it is empty, contains ':' or '\', or the table is in
// memory, else directory + new_name; then ext by the rule above, or with
// to_backup the backup extension in place of ".DAT" (see BackupExtension).
std::string RenamedTableFileName(std::string_view directory, std::string_view new_name,
                                 bool in_memory, std::string_view ext, bool to_backup);

// ".DBK", ".IBK" or ".BBK" for ".DAT", ".IDX" or ".BLB" (any case).
std::string_view BackupExtension(std::string_view ext);

// Deletes the data file, then the index and blob files when they exist (a
// lost index file is rebuilt at open, so its absence must not stop a delete
// half-way). Raises the file layer's error naming the file: 11010 when the
// data file does not exist, 11013 while a file is open.
void DeleteTableFileSet(std::string_view directory, std::string_view table_name, bool in_memory);

// Renames each of the three files that exists, in the order data, index,
// blob; with to_backup an existing file of the backup name is deleted first.
// Raises the file layer's error naming the file; files renamed before a
// failure keep their new names.
void RenameTableFileSet(std::string_view directory, std::string_view table_name,
                        std::string_view new_name, bool in_memory, bool to_backup);

}  // namespace ficha
