// ficha info: the table header, the field definitions and the index slots.
#include <algorithm>
#include <string>
#include <vector>

#include "common/EngineError.h"
#include "engine/blob/BlobFile.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/index/IndexFile.h"
#include "lib/lang/Cp1252.h"
#include "lib/lang/LanguageTable.h"
#include "lib/literal/DateTimeValue.h"
#include "tools/ficha/Commands.h"
#include "tools/ficha/FieldText.h"
#include "tools/ficha/ToolTable.h"

namespace ficha {

namespace {

std::string TypeName(uint8_t type) {
  switch (type) {
    case kFldString:
      return "string";
    case kFldDate:
      return "date";
    case kFldBlob:
      return "blob";
    case kFldBoolean:
      return "boolean";
    case kFldSmallInt:
      return "smallint";
    case kFldInteger:
      return "integer";
    case kFldFloat:
      return "float";
    case kFldBcd:
      return "bcd";
    case kFldBytes:
      return "bytes";
    case kFldTime:
      return "time";
    case kFldTimestamp:
      return "timestamp";
    case kFldWord:
      return "word";
    case kFldVarBytes:
      return "varbytes";
    case kFldLargeInt:
      return "largeint";
    default:
      return "type" + std::to_string(type);
  }
}

std::string SubtypeName(uint8_t subtype) {
  switch (subtype) {
    case kSubNone:
      return "-";
    case kSubMoney:
      return "money";
    case kSubMemo:
      return "memo";
    case kSubFormattedMemo:
      return "fmtmemo";
    case kSubGraphic:
      return "graphic";
    case kSubTypedBinary:
      return "typedbinary";
    case kSubAutoInc:
      return "autoinc";
    case kSubFixedText:
      return "fixed";
    case kSubWideText:
      return "wide";
    default:
      return std::to_string(subtype);
  }
}

std::string CaseName(uint8_t char_case) {
  switch (char_case) {
    case kCaseUnchanged:
      return "-";
    case kCaseLower:
      return "lower";
    case kCaseUpper:
      return "upper";
    default:
      return std::to_string(char_case);
  }
}

std::string OrDash(const std::string& cp1252) {
  return cp1252.empty() ? "-" : Cp1252ToUtf8(cp1252);
}

// Columns padded to their widest cell, two blanks apart.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  for (const auto& row : rows) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line.append(widths[c] - row[c].size() + 2, ' ');
    }
    out << "  " << line << "\n";
  }
}

std::string LanguageText(uint16_t language) {
  std::string_view name = LanguageNameById(language);
  return (name.empty() ? std::string("unknown") : std::string(name)) + " (" +
         std::to_string(language) + ")";
}

std::string SortText(uint16_t language, uint16_t sort) {
  std::string_view name = SortNameById(LanguagePositionById(language), sort);
  return (name.empty() ? std::string("unknown") : std::string(name)) + " (" + std::to_string(sort) +
         ")";
}

std::string IndexFlags(const TIndexDef& def) {
  std::vector<std::string> flags;
  if (def.unique) flags.push_back("unique");
  if (def.descending) flags.push_back("descending");
  if (def.case_insensitive) flags.push_back("case-insensitive");
  if (def.no_counts) flags.push_back("no-counts");
  if (def.temporary) flags.push_back("temporary");
  std::string text;
  for (const auto& flag : flags) text += (text.empty() ? "" : ",") + flag;
  return text.empty() ? "-" : text;
}

std::string IndexFields(const TIndexDef& def, TDataFile& data, int slot) {
  if (slot == kSysDeletedIndex) return "(record status)";
  std::string text;
  for (int f = 0; f < def.field_count && f < kMaxKeyFields; ++f) {
    const TFieldDef* field = data.FieldDefByNumber(def.field_numbers[f]);
    std::string name =
        field != nullptr ? Cp1252ToUtf8(field->name) : "#" + std::to_string(def.field_numbers[f]);
    if (def.field_descending[f] && !def.descending) name += " desc";
    text += (text.empty() ? "" : ";") + name;
  }
  return text.empty() ? "-" : text;
}

}  // namespace

int RunInfo(TToolTable& table, std::ostream& out) {
  TDataFile& data = table.Data();
  TIndexFile& index = table.Index();
  const TTableHeader& header = data.Header();
  out << "Table: " << Cp1252ToUtf8(table.Name()) << "\n";
  out << "Data file: " << data.Name() << "\n";
  out << "Format version: " << int{header.version} << " (writer " << header.writer_version << ")\n";
  out << "Description: " << OrDash(data.Description()) << "\n";
  out << "Encrypted: " << (data.Encrypted() ? "yes" : "no") << "\n";
  out << "Language: " << LanguageText(data.Language()) << "\n";
  out << "Sort: " << SortText(data.Language(), data.Sort()) << "\n";
  out << "User version: " << data.UserMajorVersion() << "." << data.UserMinorVersion() << "\n";
  out << "Record size: " << data.RecordSize() << "\n";
  out << "Fields: " << data.FieldCount() << " (blob fields " << data.BlobFieldCount() << ")\n";
  out << "Record slots: " << data.RecordSlotCount() << " (next record number "
      << data.NextRecordNumber() << ")\n";
  out << "Active records: " << index.ActiveRecords() << "\n";
  out << "First deleted record: " << data.FirstDeletedRecord() << "\n";
  out << "Last row identifier: " << data.LastRowIdentifier() << "\n";
  out << "Last blob revision: " << data.LastBlobRevision() << "\n";
  out << "Blob block size: " << data.BlobBlockSize() << "\n";
  if (TBlobFile* blob = table.Blob()) {
    out << "Blob blocks: " << blob->BlockCount() << " (first free block "
        << blob->Header().FirstFreeBlock() << ")\n";
  }
  out << "Change counts: data " << data.ChangeCount() << ", index " << index.ChangeCount();
  if (TBlobFile* blob = table.Blob()) out << ", blob " << blob->Header().ChangeCount();
  out << "\n";
  // Stored as days since 1899-12-30 minus 693,594.
  out << "Last header write: "
      << TimestampText(DateTimeToTimestamp(header.last_write_time + 693594.0)) << "\n";
  out << "Index pages: " << index.NextPageNumber() - 1
      << (index.NoPrimaryIndex() ? " (no primary index)" : "") << "\n";

  out << "\nField definitions:\n";
  std::vector<std::vector<std::string>> rows{{"No", "Name", "Type", "Subtype", "Size", "Dec",
                                              "Required", "Case", "Default", "Minimum", "Maximum"}};
  for (const TFieldDef& def : data.FieldDefs()) {
    rows.push_back({std::to_string(def.number), Cp1252ToUtf8(def.name), TypeName(def.type),
                    SubtypeName(def.subtype), std::to_string(def.size),
                    std::to_string(def.decimals), def.required ? "yes" : "no",
                    CaseName(def.char_case), OrDash(def.default_value), OrDash(def.min_value),
                    OrDash(def.max_value)});
  }
  PrintTable(out, rows);

  out << "\nIndexes:\n";
  rows = {{"Slot", "Name", "Fields", "Flags", "Key size", "Compression", "Root", "Depth", "Keys"}};
  for (int i = 0; i < kIndexSlotCount; ++i) {
    if (!index.IndexInUse(i)) continue;
    TIndexDef def = index.IndexDefinition(i);
    std::string depth = "0", keys = "0";
    try {
      TLeafWalk walk(index, i);
      int64_t count = 0;
      while (walk.Next()) ++count;
      depth = std::to_string(walk.Depth());
      keys = std::to_string(count);
    } catch (const std::exception&) {
      depth = keys = "damaged";
    }
    rows.push_back({std::to_string(i), i == kPrimaryIndex ? "(primary)" : Cp1252ToUtf8(def.name),
                    IndexFields(def, data, i), IndexFlags(def), std::to_string(def.key_size),
                    std::to_string(def.compression), std::to_string(def.root_page), depth, keys});
  }
  PrintTable(out, rows);
  return 0;
}

}  // namespace ficha
