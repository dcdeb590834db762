// Name rules of databases and tables.
//
// Session, database, table and directory names compare trimmed and without
// regard to (ASCII) case. The file names of a table are built by
// engine/data/TableFileSet.h.
#pragma once

#include <string>
#include <string_view>

namespace ficha {

// The text without surrounding blanks and control characters.
std::string_view TrimName(std::string_view name);

// Trimmed, equal without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b);

// Directories: as SameName, with "/" and "\" alike.
bool SameDirectory(std::string_view a, std::string_view b);

// "Memory" in any case: the in-memory database.
bool IsMemoryDatabaseName(std::string_view name);

// Whether the trimmed name ends in ".DAT" (any case).
bool HasDataExtension(std::string_view name);

// The table name a cursor keeps: the trimmed name's file-name part (after the
// last "\", "/" or ":") without a trailing ".DAT" (any case).
std::string CursorTableName(std::string_view name);

}  // namespace ficha
