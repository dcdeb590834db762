#include "tools/ficha/Ficha.h"

#include <exception>
#include <optional>
#include <sstream>

#include "common/EngineError.h"
#include "lib/lang/Cp1252.h"
#include "tools/ficha/Commands.h"
#include "tools/ficha/TableCheck.h"
#include "tools/ficha/ToolTable.h"

namespace ficha {

namespace {

constexpr const char* kUsage =
    "Usage: ficha COMMAND DIR TABLE [OPTIONS]\n"
    "Inspects and checks the files of a table (TABLE.DAT, TABLE.IDX, TABLE.BLB in DIR).\n"
    "The table is opened shared and read-only, read under the engine's read lock,\n"
    "and never written.\n"
    "\n"
    "Commands:\n"
    "  info    the header, the field definitions and the indexes\n"
    "  dump    the active records, one per line\n"
    "  check   verify the structure of the files (exit 0 only when sound)\n"
    "\n"
    "Run 'ficha COMMAND --help' for the options of a command.\n"
    "Exit status: 0 success, 1 engine error or problems found, 2 wrong arguments.\n";

constexpr const char* kInfoUsage =
    "Usage: ficha info DIR TABLE [--password TEXT]\n"
    "Shows the table header (version, counts, record size, language, sort,\n"
    "description, user version, blob block size, last row identifier), the field\n"
    "definitions and the index slots (fields, flags, key size, compression, root\n"
    "page, depth, number of keys).\n"
    "  --password TEXT  the password of an encrypted table\n";

constexpr const char* kDumpUsage =
    "Usage: ficha dump DIR TABLE [--index NAME] [--csv] [--password TEXT]\n"
    "Lists the active records, one per line after a heading line; the first\n"
    "column is the record number. Text is printed as UTF-8 in double quotes,\n"
    "NULL marks a field without a value, binary values are hexadecimal (0x...),\n"
    "dates and timestamps are ISO text.\n"
    "  --index NAME     in the order of that index (\"\" = the primary index)\n"
    "                   instead of record-number order\n"
    "  --csv            comma-separated values; text and binary values quoted,\n"
    "                   a field without a value is empty\n"
    "  --password TEXT  the password of an encrypted table\n";

constexpr const char* kCheckUsage =
    "Usage: ficha check DIR TABLE [--password TEXT]\n"
    "Verifies the table read-only: headers against file sizes, field definitions,\n"
    "the deleted-record chain, every index tree (page types, links, key order,\n"
    "separators, counts), every active record present once in every index, the\n"
    "record-status index, the active-record count, free pages, free blob blocks\n"
    "and the block chain of every blob. Prints one line per problem and a summary;\n"
    "exits 0 only when the table is sound.\n"
    "  --password TEXT  the password of an encrypted table\n";

struct TArguments {
  std::string command;
  std::vector<std::string> positional;
  std::optional<std::string> password;
  std::optional<std::string> index;
  bool csv = false;
  bool help = false;
};

const char* CommandUsage(const std::string& command) {
  if (command == "info") return kInfoUsage;
  if (command == "dump") return kDumpUsage;
  if (command == "check") return kCheckUsage;
  return kUsage;
}

// Parses the arguments after the command; returns an error text or "".
std::string ParseOptions(const std::vector<std::string>& args, TArguments* parsed) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::optional<std::string>* target) -> std::string {
      if (target->has_value()) return "option " + arg + " given twice";
      if (i + 1 >= args.size()) return "option " + arg + " needs a value";
      *target = args[++i];
      return "";
    };
    std::string error;
    if (arg == "--help" || arg == "-h") {
      parsed->help = true;
    } else if (arg == "--password") {
      error = value(&parsed->password);
    } else if (arg == "--index" && parsed->command == "dump") {
      error = value(&parsed->index);
    } else if (arg == "--csv" && parsed->command == "dump") {
      parsed->csv = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg + " for '" + parsed->command + "'";
    } else {
      parsed->positional.push_back(arg);
    }
    if (!error.empty()) return error;
  }
  if (parsed->help) return "";
  if (parsed->positional.size() < 2) return "'" + parsed->command + "' needs DIR and TABLE";
  if (parsed->positional.size() > 2) return "unexpected argument '" + parsed->positional[2] + "'";
  if (BareTableName(parsed->positional[1]).empty()) return "the table name is empty";
  return "";
}

int RunCheck(TToolTable& table, std::ostream& out) {
  TTableCheck check(table);
  std::vector<std::string> problems = check.Run();
  for (const std::string& line : problems) out << line << "\n";
  const std::string name = Cp1252ToUtf8(table.Name());
  if (problems.empty()) {
    out << name << ": sound (" << check.ActiveRecords() << " active records in "
        << check.RecordSlots() << " record slots)\n";
    return kFichaExitOk;
  }
  out << name << ": " << problems.size() << (problems.size() == 1 ? " problem" : " problems")
      << " found\n";
  return kFichaExitFailure;
}

}  // namespace

int RunFicha(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "ficha: no command given\n" << kUsage;
    return kFichaExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    out << kUsage;
    return kFichaExitOk;
  }
  TArguments parsed;
  parsed.command = args[0];
  if (parsed.command != "info" && parsed.command != "dump" && parsed.command != "check") {
    err << "ficha: unknown command '" << parsed.command << "'\n" << kUsage;
    return kFichaExitUsage;
  }
  std::string error = ParseOptions(args, &parsed);
  if (!error.empty()) {
    err << "ficha: " << error << "\n" << CommandUsage(parsed.command);
    return kFichaExitUsage;
  }
  if (parsed.help) {
    out << CommandUsage(parsed.command);
    return kFichaExitOk;
  }
  // Names on the command line are UTF-8; the engine's are Windows-1252.
  const std::string directory = parsed.positional[0];
  const std::string table_name = Utf8ToCp1252(parsed.positional[1]);
  try {
    TToolTable table(directory, table_name, Utf8ToCp1252(parsed.password.value_or("")));
    int status = kFichaExitOk;
    if (parsed.command == "dump") {
      TDumpOptions options;
      options.by_index = parsed.index.has_value();
      options.index_name = Utf8ToCp1252(parsed.index.value_or(""));
      options.csv = parsed.csv;
      status = RunDump(table, options, out, err);
    } else {
      // One consistent state under one read lock; the report is written
      // after the lock is released, so a stalled reader holds up no writer.
      std::ostringstream report;
      table.ReadLock();
      status = parsed.command == "info" ? RunInfo(table, report) : RunCheck(table, report);
      table.ReadUnlock();
      out << report.str();
    }
    // A listing cut short (disk full, closed pipe) must not pass for a
    // complete one.
    out.flush();
    if (!out) {
      err << "ficha: the output could not be written\n";
      return kFichaExitFailure;
    }
    return status;
  } catch (const EFichaEngineError& e) {
    err << "ficha: " << e.what() << "\n";
  } catch (const TToolError& e) {
    err << "ficha: " << e.what() << "\n";
  } catch (const std::exception& e) {
    err << "ficha: " << e.what() << "\n";
  }
  return kFichaExitFailure;
}

}  // namespace ficha
