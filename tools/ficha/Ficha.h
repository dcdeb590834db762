// The ficha command-line tool: inspects and checks table files without a
// programming environment.
//
//   ficha info  DIR TABLE            header, field definitions, index slots
//   ficha dump  DIR TABLE [--index NAME] [--csv]
//                                    the active records, one per line
//   ficha check DIR TABLE            read-only structural verification
//
// Every subcommand also takes --password TEXT for encrypted tables. Tables
// are opened shared, read under the engine's read lock and never written.
// Exit status: 0 success (check: the table is sound), 1 an engine error, a
// problem found or output that could not be written, 2 wrong arguments.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ficha {

constexpr int kFichaExitOk = 0;
constexpr int kFichaExitFailure = 1;
constexpr int kFichaExitUsage = 2;

// Runs the tool with the arguments that follow the program name, writing
// results to out and messages to err. Returns the exit status.
int RunFicha(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ficha
