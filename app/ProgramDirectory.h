// Where the utility's files are: the directory of the running executable, or
// the directory the command line named, always ending in "\" so that file
// names are appended by plain concatenation (the file layer takes "\" as
// "/").
#pragma once

#include <string>

namespace ficha {

// Application().ProgramDirectory when set, else the directory of
// /proc/self/exe; absolute, with one trailing "\" in place of any trailing
// separators.
std::string ProgramDirectory();

// `dir` made absolute, trailing "/" and "\" removed (the root stays "/")
// and "\" appended.
std::string WithProgramDirectoryEnd(const std::string& dir);

}  // namespace ficha
