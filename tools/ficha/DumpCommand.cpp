// ficha dump: the active records of a table, one per line, in record-number
// order or in the order of an index.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/EngineError.h"
#include "engine/blob/BlobReference.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "engine/index/IndexFile.h"
#include "lib/lang/Cp1252.h"
#include "tools/ficha/Commands.h"
#include "tools/ficha/FieldText.h"
#include "tools/ficha/ToolTable.h"

namespace ficha {

namespace {

// Records read under one read lock.
constexpr int32_t kDumpBatch = 256;

class TDumper {
 public:
  TDumper(TToolTable& table, TListStyle style, std::ostream& out, std::ostream& err)
      : table_(table), style_(style), out_(out), err_(err) {}

  void Heading() {
    std::string line = HeadingText("#", style_);
    for (const TFieldDef& def : table_.Data().FieldDefs())
      line += std::string(ColumnSeparator(style_)) + HeadingText(def.name, style_);
    out_ << line << "\n";
  }

  // Appends the line of record n to text when the record is active; last
  // bounds the read-ahead.
  void Record(int32_t n, int32_t last, std::string* text) {
    table_.ReadRecord(n, last, &record_);
    if (RecordIsDeleted(record_.data())) return;
    *text += std::to_string(n);
    for (const TFieldDef& def : table_.Data().FieldDefs()) {
      *text += ColumnSeparator(style_);
      *text += Value(n, def);
    }
    *text += "\n";
  }

  bool Failed() const { return failed_; }

 private:
  std::string Value(int32_t n, const TFieldDef& def) {
    if (def.type != kFldBlob || def.calculated || FieldIsNull(record_.data(), def))
      return FieldValueText(record_.data(), def, style_);
    TBlobReference reference = TBlobReference::Decode(FieldValue(record_.data(), def));
    try {
      return BlobValueText(def, table_.LoadBlob(def.number, reference), style_);
    } catch (const EFichaEngineError& e) {
      failed_ = true;
      err_ << "ficha: record " << n << ", field " << Cp1252ToUtf8(def.name) << ": " << e.what()
           << "\n";
      return style_ == TListStyle::kCsv ? "\"#error\"" : "#error";
    }
  }

  TToolTable& table_;
  TListStyle style_;
  std::ostream& out_;
  std::ostream& err_;
  std::vector<uint8_t> record_;
  bool failed_ = false;
};

}  // namespace

int RunDump(TToolTable& table, const TDumpOptions& options, std::ostream& out, std::ostream& err) {
  TIndexFile& index = table.Index();
  int slot = -1;
  if (options.by_index) {
    slot = index.IndexNumber(options.index_name);
    if (slot < 0 || !index.IndexInUse(slot)) {
      err << "ficha: the table '" << Cp1252ToUtf8(table.Name()) << "' has no index '"
          << Cp1252ToUtf8(options.index_name) << "'\n";
      return 2;
    }
    if (slot == kSysTextIndex) {
      err << "ficha: the text index lists words, not records; choose another index\n";
      return 2;
    }
  }
  // The record numbers in index order, read under one lock.
  std::vector<int32_t> order;
  if (slot >= 0) {
    table.ReadLock();
    const int32_t slots = table.ReadableSlots();
    TLeafWalk walk(index, slot);
    while (walk.Next()) {
      const int32_t n = walk.Value();
      if (n < 1 || n > slots) {
        throw TToolError((slot == kPrimaryIndex
                              ? std::string("the primary index")
                              : "index '" + Cp1252ToUtf8(options.index_name) + "'") +
                         " refers to record " + std::to_string(n) +
                         ", which the data file does not hold (run 'ficha check')");
      }
      order.push_back(n);
    }
    table.ReadUnlock();
  }

  TDumper dumper(table, options.csv ? TListStyle::kCsv : TListStyle::kPlain, out, err);
  dumper.Heading();
  // The read lock is taken for one batch of records at a time and never held
  // while the listing is written: a reader that stops (a pager) must not
  // keep the writers of other programs waiting until they give up.
  std::string text;
  int32_t next_record = 1;  // record-number order
  size_t next_entry = 0;    // index order
  for (bool finished = false; !finished && out;) {
    text.clear();
    table.ReadLock();
    const int32_t slots = table.ReadableSlots();
    if (slot < 0) {
      const int32_t last =
          static_cast<int32_t>(std::min<int64_t>(slots, int64_t{next_record} + kDumpBatch - 1));
      for (; next_record <= last; ++next_record) dumper.Record(next_record, last, &text);
      finished = last >= slots;
    } else {
      const size_t end = std::min(order.size(), next_entry + kDumpBatch);
      // A record that another program removed since the order was read is
      // left out.
      for (; next_entry < end; ++next_entry) {
        const int32_t n = order[next_entry];
        if (n <= slots) dumper.Record(n, n, &text);
      }
      finished = end == order.size();
    }
    table.ReadUnlock();
    out << text;
  }
  return dumper.Failed() ? 1 : 0;
}

}  // namespace ficha
