// Paths handed to the operating system.
//
// Engine paths use "\" as the separator (a database directory ends in "\");
// "/" is accepted too. Names resolve without regard to ASCII case, as on the
// file system the tables come from: when a path component does not exist as
// written, the directory is searched for an entry that matches it ignoring
// case, and that entry is used.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ficha {

// The path with every "\" turned into "/"; nothing else changes.
std::string ToOsPath(std::string_view path);

// The path as it exists on disk: ToOsPath, then each component that does not
// exist as written replaced by the first directory entry equal to it ignoring
// ASCII case. Components that match nothing are kept as written (so the
// result names the file a create would make).
std::string ResolveOsPath(std::string_view path);

// True when the final component of path contains "*" or "?".
bool HasWildcards(std::string_view path);

// Case-insensitive (ASCII) match of name against a pattern of "*" (any run of
// characters) and "?" (one character); "*.*" matches every name, as on the
// file system the tables come from (names without a dot included).
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Directory search: the names (no directory part) of the regular files in the
// directory of pattern whose names match its final component, ignoring case,
// sorted by byte value. A pattern without wildcards finds the one regular
// file of that name (ignoring case). An unreadable or missing directory gives
// an empty list.
std::vector<std::string> FindFiles(std::string_view pattern);

// True when the resolved path names an existing regular file (not a
// directory).
bool OsFileExists(std::string_view path);

// The final component of path ("\" or "/" separated).
std::string_view BaseName(std::string_view path);

}  // namespace ficha
