#include "tools/ficha/TableCheck.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "common/EngineError.h"
#include "engine/blob/BlobFile.h"
#include "engine/blob/Block.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "engine/index/IndexChecker.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexKey.h"
#include "lib/lang/Cp1252.h"
#include "tools/ficha/ToolTable.h"

namespace ficha {

namespace {

// Lines of one kind reported per index or chain before they are summed up.
constexpr int kMaxLinesPerKind = 20;

std::string Num(int64_t n) { return std::to_string(n); }

}  // namespace

void TTableCheck::Problem(const std::string& where, const std::string& text) {
  problems_.push_back(Cp1252ToUtf8(table_.Name()) + ": " + where + ": " + text);
}

std::string TTableCheck::IndexLabel(int index) {
  if (index == kPrimaryIndex) return "primary index";
  return "index '" + Cp1252ToUtf8(table_.Index().IndexDefinition(index).name) + "'";
}

std::vector<std::string> TTableCheck::Run() {
  problems_.clear();
  blobs_.clear();
  damaged_indexes_.clear();
  CheckDataHeader();
  CheckIndexHeader();
  ReadRecords();
  CheckDeletedChain();
  CheckRowIdentifiers();
  CheckIndexTrees();
  for (int i = 0; i < kIndexSlotCount; ++i)
    if (key_checked_[static_cast<size_t>(i)]) CheckIndexContents(i);
  if (text_checked_) CheckTextIndex();
  CheckBlobFile();
  return problems_;
}

// ---- data file ----

void TTableCheck::CheckDataHeader() {
  TDataFile& data = table_.Data();
  const size_t before = problems_.size();
  const std::string where = "data header";
  if (data.Header().version != kDataFormatVersion)
    Problem(where, "format version " + Num(data.Header().version) + ", expected 5");

  int64_t running = kRecordPrefixSize;
  int blob_fields = 0;
  for (size_t i = 0; i < data.FieldDefs().size(); ++i) {
    const TFieldDef& def = data.FieldDefs()[i];
    const std::string field =
        "field " + Num(static_cast<int64_t>(i + 1)) + " '" + Cp1252ToUtf8(def.name) + "'";
    if (def.number != i + 1) Problem(field, "field number " + Num(def.number));
    int phys = FieldPhysicalSize(def.type, def.size);
    if (phys < 0) {
      Problem(field, "unknown field type " + Num(def.type));
      continue;
    }
    if (def.phys_size != phys)
      Problem(field, "physical size " + Num(def.phys_size) + ", the type gives " + Num(phys));
    if (def.type == kFldBlob) ++blob_fields;
    if (def.calculated) continue;
    if (IsAutoIncField(def.type, def.subtype)) {
      if (def.offset != kRecordRowIdOffset)
        Problem(field, "offset " + Num(def.offset) + ", expected " + Num(kRecordRowIdOffset));
    } else {
      if (def.offset != running)
        Problem(field, "offset " + Num(def.offset) + ", expected " + Num(running));
      running += phys + 1;
    }
  }
  if (running != data.RecordSize())
    Problem(where, "record size " + Num(data.RecordSize()) + ", the fields take " + Num(running));
  if (blob_fields != data.BlobFieldCount())
    Problem(where, "blob field count " + Num(data.BlobFieldCount()) + ", the fields hold " +
                       Num(blob_fields));

  const int64_t size = data.GetFileSize();
  const int64_t start = data.DataStart();
  int64_t in_file = 0;
  if (size < start) {
    Problem(where, "the file (" + Num(size) + " bytes) ends inside the field definitions");
  } else if (data.RecordSize() > 0) {
    in_file = (size - start) / data.RecordSize();
    if ((size - start) % data.RecordSize() != 0)
      Problem(where, "the records take " + Num(size - start) +
                         " bytes, not a multiple of the record size " + Num(data.RecordSize()));
  }
  if (data.RecordSlotCount() != in_file)
    Problem(where, "next record number " + Num(data.NextRecordNumber()) + ", the file holds " +
                       Num(in_file) + " record slots");
  if (data.FirstDeletedRecord() < 0 || data.FirstDeletedRecord() > in_file)
    Problem(where,
            "first deleted record " + Num(data.FirstDeletedRecord()) + " lies outside the file");

  // The engine's own validation covers names, literals and the language;
  // run it only when the counts above agree, so that it adds no duplicate.
  if (problems_.size() == before) {
    try {
      data.ValidateTable();
    } catch (const EFichaEngineError& e) {
      Problem("field definitions", e.what());
    }
  }
}

void TTableCheck::ReadRecords() {
  TDataFile& data = table_.Data();
  TIndexFile& index = table_.Index();
  slots_ = table_.ReadableSlots();
  deleted_.assign(static_cast<size_t>(slots_) + 1, 0);
  link_.assign(static_cast<size_t>(slots_) + 1, 0);
  row_id_.assign(static_cast<size_t>(slots_) + 1, 0);
  key_checked_.assign(kIndexSlotCount, false);
  key_size_.assign(kIndexSlotCount, 0);
  expected_keys_.assign(kIndexSlotCount, {});

  std::vector<const TKeyDescriptor*> keys(kIndexSlotCount, nullptr);
  for (int i = 0; i < kIndexSlotCount; ++i) {
    if (i == kSysTextIndex || !index.IndexInUse(i) || index.IndexDefinition(i).temporary) continue;
    try {
      keys[static_cast<size_t>(i)] = &index.Keys(i);
    } catch (const EFichaEngineError& e) {
      Problem(IndexLabel(i), std::string("definition unusable: ") + e.what());
      continue;
    }
    const size_t k = static_cast<size_t>(keys[static_cast<size_t>(i)]->KeySize());
    key_checked_[static_cast<size_t>(i)] = true;
    key_size_[static_cast<size_t>(i)] = static_cast<int>(k);
    expected_keys_[static_cast<size_t>(i)].assign(k * static_cast<size_t>(slots_), 0);
  }

  expected_words_.clear();
  words_unknown_.assign(static_cast<size_t>(slots_) + 1, 0);
  text_checked_ = false;
  if (index.IndexDefinition(kSysTextIndex).field_count > 0) {
    try {
      index.Keys(kSysTextIndex);
      text_settings_ = index.ReadTextIndexSettings();
      text_checked_ = true;
    } catch (const EFichaEngineError& e) {
      Problem(IndexLabel(kSysTextIndex), std::string("definition unusable: ") + e.what());
    }
  }

  std::vector<uint8_t> record;
  active_ = 0;
  for (int32_t n = 1; n <= slots_; ++n) {
    try {
      table_.ReadRecord(n, slots_, &record);
    } catch (const EFichaEngineError& e) {
      Problem("record " + Num(n), std::string("unreadable: ") + e.what());
      slots_ = n - 1;
      break;
    }
    const size_t s = static_cast<size_t>(n);
    deleted_[s] = record[kRecordDeletedOffset];
    link_[s] = RecordLink(record.data());
    row_id_[s] = RecordRowId(record.data());
    if (deleted_[s] > 1)
      Problem("record " + Num(n), "deleted flag " + Num(deleted_[s]) + ", expected 0 or 1");
    const bool active = deleted_[s] == 0;
    if (active) {
      ++active_;
      for (const TFieldDef& def : data.FieldDefs()) {
        if (def.type == kFldBlob && !def.calculated && !FieldIsNull(record.data(), def)) {
          TBlobReference ref = TBlobReference::Decode(FieldValue(record.data(), def));
          if (ref.first_block != 0) blobs_.push_back({n, def.number, ref});
        }
      }
      if (text_checked_) CollectWords(n, record.data());
    }
    for (int i = 0; i < kIndexSlotCount; ++i) {
      if (!key_checked_[static_cast<size_t>(i)]) continue;
      if (!active && i != kSysDeletedIndex) continue;
      const size_t k = static_cast<size_t>(key_size_[static_cast<size_t>(i)]);
      keys[static_cast<size_t>(i)]->BuildKey(
          record.data(), expected_keys_[static_cast<size_t>(i)].data() + (s - 1) * k);
    }
  }
}

void TTableCheck::CheckDeletedChain() {
  const std::string where = "deleted chain";
  std::vector<uint8_t> on_chain(static_cast<size_t>(slots_) + 1, 0);
  int32_t n = table_.Data().FirstDeletedRecord();
  int32_t from = 0;
  while (n != 0) {
    const std::string origin = from == 0 ? "the header" : "record " + Num(from);
    if (n < 0 || n > slots_) {
      Problem(where, origin + " links to record " + Num(n) + ", outside the file");
      break;
    }
    if (on_chain[static_cast<size_t>(n)]) {
      Problem(where, origin + " links back to record " + Num(n) + " (the chain loops)");
      break;
    }
    on_chain[static_cast<size_t>(n)] = 1;
    if (deleted_[static_cast<size_t>(n)] == 0) {
      Problem(where, origin + " links to record " + Num(n) + ", which is not deleted");
      break;
    }
    from = n;
    n = link_[static_cast<size_t>(n)];
  }
  // Without a primary index deleted slots are never reused, so only the
  // latest one is on the chain; with one, every deleted slot must be.
  if (table_.Index().NoPrimaryIndex()) return;
  int reported = 0, missing = 0;
  for (int32_t r = 1; r <= slots_; ++r) {
    if (deleted_[static_cast<size_t>(r)] == 0 || on_chain[static_cast<size_t>(r)]) continue;
    if (++missing <= kMaxLinesPerKind) {
      ++reported;
      Problem("record " + Num(r), "deleted but not on the deleted chain");
    }
  }
  if (missing > reported)
    Problem(where, Num(missing - reported) + " more deleted records are not on the chain");
}

void TTableCheck::CheckRowIdentifiers() {
  std::map<int32_t, int32_t> first_with;
  int reported = 0;
  for (int32_t n = 1; n <= slots_; ++n) {
    if (deleted_[static_cast<size_t>(n)] != 0) continue;
    auto [at, inserted] = first_with.emplace(row_id_[static_cast<size_t>(n)], n);
    if (!inserted && ++reported <= kMaxLinesPerKind)
      Problem("record " + Num(n), "row identifier " + Num(row_id_[static_cast<size_t>(n)]) +
                                      " is also that of record " + Num(at->second));
  }
  if (reported > kMaxLinesPerKind)
    Problem("row identifiers", Num(reported - kMaxLinesPerKind) + " more records repeat one");
}

// ---- index file ----

void TTableCheck::CheckIndexHeader() {
  TIndexFile& index = table_.Index();
  const std::string where = "index header";
  try {
    index.ValidateIndexHeader();
  } catch (const EFichaEngineError& e) {
    Problem(where, e.what());
  }
  const int64_t size = index.GetFileSize();
  const int64_t needed = int64_t{index.NextPageNumber()} * kIndexPageSize;
  if (size < needed)
    Problem(where, "next page number " + Num(index.NextPageNumber()) + " needs " + Num(needed) +
                       " bytes, the file has " + Num(size));
}

void TTableCheck::CheckIndexTrees() {
  TIndexFile& index = table_.Index();
  TIndexChecker checker(&index);
  std::vector<std::string> found;
  try {
    found = checker.CheckFile().problems;
  } catch (const std::exception&) {
    // An index whose definition cannot be used stops the whole-file check;
    // check the others one by one.
    found.clear();
    for (int i = 0; i < kIndexSlotCount; ++i) {
      if (!index.IndexInUse(i)) continue;
      try {
        for (auto& p : checker.CheckIndex(i).problems) found.push_back(p);
      } catch (const std::exception& e) {
        found.push_back("index " + Num(i) + " page " + Num(index.RootPage(i)) +
                        ": tree not checked: " + e.what());
      }
    }
  }
  for (const std::string& text : found) {
    // The checker's lines start "index N page P: "; name the index instead.
    int slot = -1;
    size_t rest = 0;
    if (text.rfind("index ", 0) == 0) {
      slot = std::atoi(text.c_str() + 6);
      rest = text.find(' ', 6);
    }
    if (slot >= 0 && slot < kIndexSlotCount && rest != std::string::npos) {
      if (std::find(damaged_indexes_.begin(), damaged_indexes_.end(), slot) ==
          damaged_indexes_.end())
        damaged_indexes_.push_back(slot);
      size_t colon = text.find(": ", rest);
      std::string page =
          text.substr(rest + 1, colon == std::string::npos ? std::string::npos : colon - rest - 1);
      Problem(IndexLabel(slot) + " " + page,
              colon == std::string::npos ? std::string("damaged") : text.substr(colon + 2));
    } else {
      Problem("index file", text);
    }
  }
  if (index.ActiveRecords() != active_)
    Problem("index header", "active record count " + Num(index.ActiveRecords()) +
                                ", the data file holds " + Num(active_) + " active records");
}

void TTableCheck::CheckIndexContents(int index_number) {
  TIndexFile& index = table_.Index();
  const std::string label = IndexLabel(index_number);
  const size_t k = static_cast<size_t>(key_size_[static_cast<size_t>(index_number)]);
  const std::vector<uint8_t>& expected = expected_keys_[static_cast<size_t>(index_number)];
  const bool every_slot = index_number == kSysDeletedIndex;
  std::vector<uint8_t> seen(static_cast<size_t>(slots_) + 1, 0);
  int lines = 0, more = 0;
  auto report = [&](const std::string& text) {
    if (++lines <= kMaxLinesPerKind) {
      Problem(label, text);
    } else {
      ++more;
    }
  };
  try {
    TLeafWalk walk(index, index_number);
    while (walk.Next()) {
      const int32_t n = walk.Value();
      if (n < 1 || n > slots_) {
        report("an entry refers to record " + Num(n) + ", outside the data file");
        continue;
      }
      const size_t s = static_cast<size_t>(n);
      if (!every_slot && deleted_[s] != 0) {
        report("an entry refers to deleted record " + Num(n));
        continue;
      }
      if (std::memcmp(walk.Key(), expected.data() + (s - 1) * k, k) != 0) {
        report("the entry of record " + Num(n) + " does not match the record's key");
        continue;
      }
      if (seen[s]++ != 0) report("record " + Num(n) + " has more than one entry");
    }
  } catch (const std::exception& e) {
    // The tree checker has described the damage already.
    if (std::find(damaged_indexes_.begin(), damaged_indexes_.end(), index_number) ==
        damaged_indexes_.end())
      Problem(label, std::string("leaves cannot be walked: ") + e.what());
    return;
  }
  for (int32_t n = 1; n <= slots_; ++n) {
    const size_t s = static_cast<size_t>(n);
    if (seen[s] != 0 || (!every_slot && deleted_[s] != 0)) continue;
    report((every_slot ? "record slot " : "record ") + Num(n) + " has no entry");
  }
  if (more > 0) Problem(label, Num(more) + " more problems of its entries");

  // A unique index cannot hold two records with equal keys ("Sys Deleted"
  // keys end with the row identifier, whose duplicates are reported above).
  if (index_number == kSysDeletedIndex || !index.IndexDefinition(index_number).unique) return;
  const TKeyDescriptor& keys = index.Keys(index_number);
  std::vector<int32_t> records;
  for (int32_t n = 1; n <= slots_; ++n)
    if (deleted_[static_cast<size_t>(n)] == 0) records.push_back(n);
  auto key_of = [&](int32_t n) { return expected.data() + static_cast<size_t>(n - 1) * k; };
  std::stable_sort(records.begin(), records.end(),
                   [&](int32_t a, int32_t b) { return keys.Compare(key_of(a), key_of(b)) < 0; });
  int duplicates = 0;
  for (size_t j = 1; j < records.size(); ++j) {
    if (keys.Compare(key_of(records[j - 1]), key_of(records[j])) != 0) continue;
    if (++duplicates <= kMaxLinesPerKind)
      Problem(label, "records " + Num(records[j - 1]) + " and " + Num(records[j]) +
                         " have the same key in a unique index");
  }
  if (duplicates > kMaxLinesPerKind)
    Problem(label, Num(duplicates - kMaxLinesPerKind) + " more records with duplicate keys");
}

void TTableCheck::CollectWords(int32_t n, const uint8_t* record) {
  TIndexFile& index = table_.Index();
  const TIndexDef def = index.IndexDefinition(kSysTextIndex);
  const TKeyLanguage& language = index.Keys(kSysTextIndex).Language();
  const int32_t row_id = RecordRowId(record);
  std::string entry(kSysTextKeySize + 4, '\0');
  for (int f = 0; f < def.field_count && f < kMaxKeyFields; ++f) {
    const TFieldDef* field = table_.Data().FieldDefByNumber(def.field_numbers[f]);
    if (field == nullptr || field->calculated || FieldIsNull(record, *field)) continue;
    std::string text;
    const uint8_t* value = FieldValue(record, *field);
    if (field->type == kFldBlob) {
      TBlobReference ref = TBlobReference::Decode(value);
      try {
        std::vector<uint8_t> content = table_.LoadBlob(field->number, ref);
        text.assign(content.begin(), content.end());
      } catch (const EFichaEngineError&) {
        // The blob checks below describe the damage.
        words_unknown_[static_cast<size_t>(n)] = 1;
        continue;
      }
    } else {
      text.assign(reinterpret_cast<const char*>(value),
                  strnlen(reinterpret_cast<const char*>(value), field->phys_size));
    }
    for (const std::string& word : text_settings_.SplitWords(text, language)) {
      TKeyDescriptor::BuildTextKey(field->number, word, row_id,
                                   reinterpret_cast<uint8_t*>(entry.data()));
      PutI32(reinterpret_cast<uint8_t*>(entry.data()) + kSysTextKeySize, n);
      expected_words_.push_back(entry);
    }
  }
}

void TTableCheck::CheckTextIndex() {
  TIndexFile& index = table_.Index();
  const std::string label = IndexLabel(kSysTextIndex);
  std::vector<std::string> actual;
  try {
    TLeafWalk walk(index, kSysTextIndex);
    std::string entry(kSysTextKeySize + 4, '\0');
    while (walk.Next()) {
      std::memcpy(entry.data(), walk.Key(), kSysTextKeySize);
      PutI32(reinterpret_cast<uint8_t*>(entry.data()) + kSysTextKeySize, walk.Value());
      actual.push_back(entry);
    }
  } catch (const std::exception& e) {
    if (std::find(damaged_indexes_.begin(), damaged_indexes_.end(), kSysTextIndex) ==
        damaged_indexes_.end())
      Problem(label, std::string("leaves cannot be walked: ") + e.what());
    return;
  }
  std::sort(actual.begin(), actual.end());
  std::sort(expected_words_.begin(), expected_words_.end());
  auto describe = [&](const std::string& entry) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(entry.data());
    const uint16_t field = static_cast<uint16_t>((bytes[1] << 8) | bytes[2]);
    std::string word(entry.data() + 3, strnlen(entry.data() + 3, kSysTextKeySize - 7));
    const TFieldDef* def = table_.Data().FieldDefByNumber(field);
    return "word '" + Cp1252ToUtf8(word) + "' of field '" +
           (def != nullptr ? Cp1252ToUtf8(def->name) : Num(field)) + "' in record " +
           Num(GetI32(bytes + kSysTextKeySize));
  };
  int lines = 0, more = 0;
  auto report = [&](const std::string& text) {
    if (++lines <= kMaxLinesPerKind) {
      Problem(label, text);
    } else {
      ++more;
    }
  };
  auto record_of = [](const std::string& entry) {
    return GetI32(reinterpret_cast<const uint8_t*>(entry.data()) + kSysTextKeySize);
  };
  size_t a = 0, e = 0;
  while (a < actual.size() || e < expected_words_.size()) {
    if (e == expected_words_.size() || (a < actual.size() && actual[a] < expected_words_[e])) {
      const int32_t n = record_of(actual[a]);
      const bool unknown = n >= 1 && n <= slots_ && words_unknown_[static_cast<size_t>(n)];
      if (!unknown) report("an entry for the " + describe(actual[a]) + " that the record lacks");
      ++a;
    } else if (a == actual.size() || expected_words_[e] < actual[a]) {
      report("the " + describe(expected_words_[e]) + " has no entry");
      ++e;
    } else {
      ++a;
      ++e;
    }
  }
  if (more > 0) Problem(label, Num(more) + " more problems of its entries");
}

// ---- blob file ----

void TTableCheck::CheckBlobFile() {
  TBlobFile* blob = table_.Blob();
  if (blob == nullptr) {
    if (!blobs_.empty()) Problem("blob file", "missing, but records refer to blobs");
    return;
  }
  const std::string where = "blob header";
  if (blob->Header().Version() != kBlobFormatVersion)
    Problem(where, "format version " + Num(blob->Header().Version()) + ", expected 5");
  const int64_t size = blob->GetFileSize();
  const int64_t block_size = blob->BlockSize();
  const int32_t count = blob->BlockCount();
  int32_t in_file =
      size > kBlobHeaderSize ? static_cast<int32_t>((size - kBlobHeaderSize) / block_size) : 0;
  if (count < 0) {
    Problem(where, "next block number " + Num(blob->Header().NextBlock()) + " is below 1");
  } else if (in_file < count) {
    Problem(where, "the header counts " + Num(count) + " blocks, the file holds " + Num(in_file));
  }
  const int32_t blocks = std::max(0, std::min(count, in_file));
  const int data_size = blob->BlockDataSize();

  // Who uses each block: 0 nobody, 1 the free chain, else 2 + the blob's
  // position in blobs_.
  std::vector<int64_t> user(static_cast<size_t>(blocks) + 1, 0);
  auto fetch = [&](int32_t n, TPinnedBlock* block, const std::string& label) {
    try {
      blob->GetBlock(nullptr, n, 1, block);
      return static_cast<bool>(*block);
    } catch (const EFichaEngineError& e) {
      Problem(label, std::string("block ") + Num(n) + " unreadable: " + e.what());
      return false;
    }
  };

  // Free chain.
  {
    const std::string label = "blob free chain";
    int32_t n = blob->Header().FirstFreeBlock();
    int32_t from = 0;
    while (n != 0) {
      const std::string origin = from == 0 ? "the header" : "block " + Num(from);
      if (n < 0 || n > blocks) {
        Problem(label, origin + " links to block " + Num(n) + ", outside the file");
        break;
      }
      if (user[static_cast<size_t>(n)] != 0) {
        Problem(label, origin + " links back to block " + Num(n) + " (the chain loops)");
        break;
      }
      user[static_cast<size_t>(n)] = 1;
      TPinnedBlock block;
      if (!fetch(n, &block, label)) break;
      from = n;
      n = block->Header().next;
    }
  }

  // The chain of every blob.
  const TDataFile& data = table_.Data();
  for (size_t b = 0; b < blobs_.size(); ++b) {
    const TBlobUse& use = blobs_[b];
    const TFieldDef* def = data.FieldDefByNumber(use.field);
    const std::string label = "record " + Num(use.record) + " field '" +
                              Cp1252ToUtf8(def != nullptr ? def->name : std::string()) + "'";
    int32_t n = use.reference.first_block;
    int32_t prev = 0;
    int64_t total = -1, sum = 0;
    bool broken = false;
    while (n != 0) {
      const std::string origin = prev == 0 ? "the record" : "block " + Num(prev);
      if (n < 0 || n > blocks) {
        Problem(label, origin + " links to blob block " + Num(n) + ", outside the file");
        broken = true;
        break;
      }
      int64_t& owner = user[static_cast<size_t>(n)];
      if (owner != 0) {
        Problem(label, origin + " links to blob block " + Num(n) + ", which " +
                           (owner == 1 ? std::string("is on the free chain")
                            : owner == static_cast<int64_t>(b) + 2
                                ? std::string("this chain already passed (the chain loops)")
                                : "belongs to record " +
                                      Num(blobs_[static_cast<size_t>(owner - 2)].record)));
        broken = true;
        break;
      }
      owner = static_cast<int64_t>(b) + 2;
      TPinnedBlock block;
      if (!fetch(n, &block, label)) {
        broken = true;
        break;
      }
      const TBlockHeader& h = block->Header();
      const std::string at = "blob block " + Num(n);
      if (h.revision != use.reference.revision)
        Problem(label, at + " has revision " + Num(h.revision) + ", the record " +
                           Num(use.reference.revision));
      if (h.prev != prev)
        Problem(label, at + " links back to " + Num(h.prev) + ", expected " + Num(prev));
      if (h.used > data_size)
        Problem(label, at + " claims " + Num(h.used) + " bytes, a block holds " + Num(data_size));
      if (prev == 0) total = h.total;
      sum += h.used;
      prev = n;
      n = h.next;
    }
    if (!broken && total >= 0 && sum != total)
      Problem(label,
              "the blob's chain holds " + Num(sum) + " bytes, its first block says " + Num(total));
  }

  // Blocks nobody uses are lost to the file.
  int lost = 0;
  std::string first;
  for (int32_t n = 1; n <= blocks; ++n) {
    if (user[static_cast<size_t>(n)] != 0) continue;
    if (++lost <= 10) first += (first.empty() ? "" : ", ") + Num(n);
  }
  if (lost > 0)
    Problem("blob file", Num(lost) + " block(s) belong to no blob and are not free: " + first +
                             (lost > 10 ? ", ..." : ""));
}

}  // namespace ficha
