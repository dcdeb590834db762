// The utility's program start: command line, application object, window and
// message loop. main() only calls Insere9Main.
#pragma once

#include <ostream>

namespace ficha {

// Runs the utility. Options (none are needed; without any the utility runs
// as installed):
//   --dir DIR    take DIR as the program directory instead of the
//                executable's (KOLBAR.INI and DADOS are looked for there)
//   --no-pause   close at once instead of five seconds after the last line
//   --help       print the usage and exit
// Returns the exit status: 0 after a run (also when the database was not
// found), 1 when an error ended the run (its message is on `err`), 2 for a
// bad command line.
int Insere9Main(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace ficha
