// The subcommands of the ficha tool, called by RunFicha once the arguments
// are parsed. Each returns the exit status; engine errors propagate.
#pragma once

#include <ostream>
#include <string>

namespace ficha {

class TToolTable;

struct TDumpOptions {
  bool by_index = false;
  std::string index_name;  // "" = the primary index
  bool csv = false;
};

// Header, field definitions and index slots. REQUIRES: table read-locked.
int RunInfo(TToolTable& table, std::ostream& out);

// The active records in record-number or index order. Unknown index names
// and the text index are refused with a message on err (exit 2). A blob that
// cannot be read is shown as an error marker, reported on err, and makes the
// exit status 1. Takes the table's read lock itself, one batch of records
// at a time (a listing is not one snapshot of the table). REQUIRES: table not
// read-locked.
int RunDump(TToolTable& table, const TDumpOptions& options, std::ostream& out, std::ostream& err);

}  // namespace ficha
