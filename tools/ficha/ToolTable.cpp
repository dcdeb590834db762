#include "tools/ficha/ToolTable.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/EngineError.h"
#include "common/ErrorCodes.h"
#include "engine/blob/BlobBuffer.h"
#include "engine/blob/BlobFile.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/TableFileSet.h"
#include "engine/index/IndexFile.h"
#include "engine/session/DataDirectory.h"
#include "engine/session/DataSession.h"
#include "engine/session/DataTable.h"
#include "lib/file/FileHandler.h"
#include "lib/lang/Cp1252.h"

namespace ficha {

std::string BareTableName(std::string_view name) {
  size_t cut = name.find_last_of("\\/");
  if (cut != std::string_view::npos) name.remove_prefix(cut + 1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  std::string bare(name);
  if (bare.size() >= 4) {
    std::string ext = bare.substr(bare.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == ".DAT") bare.resize(bare.size() - 4);
  }
  return bare;
}

TToolTable::TToolTable(std::string_view directory, std::string_view table,
                       std::string_view password)
    : session_(std::make_unique<TDataSession>()), name_(BareTableName(table)) {
  try {
    Open(directory, password);
  } catch (...) {
    Close();
    throw;
  }
}

void TToolTable::Open(std::string_view directory, std::string_view password) {
  database_ = session_->OpenDirectory("", directory);
  // The engine recreates a lost index file at open; an inspection must not
  // change the table, so a missing one stops here.
  TFileHandler data_probe;
  data_probe.SetName(FileName(kDataFileExt));
  TFileHandler index_probe;
  index_probe.SetName(FileName(kIndexFileExt));
  if (data_probe.FileExists() && !index_probe.FileExists()) {
    throw TToolError("the index file " + index_probe.Name() + " of the table '" +
                     Cp1252ToUtf8(name_) +
                     "' is missing (opening the table in a program would rebuild it)");
  }
  int result = database_->OpenTable(name_, false, false, false, &table_);
  if (result < 0) RaiseEngineError(result, name_, {}, {}, {}, {}, {}, database_->Directory());
  if (table_->DataFile().Encrypted() && table_->DataFile().Password() != password) {
    RaiseEngineError(FICHA_NOTSUFFTABLERIGHTS, name_, {}, {}, {}, {}, {}, database_->Directory());
  }
}

void TToolTable::Close() {
  if (table_ != nullptr) {
    try {
      ReadUnlock();
    } catch (const std::exception&) {
      // Closing the table releases whatever is left.
    }
    database_->CloseTable(table_, false);
    table_ = nullptr;
  }
  if (database_ != nullptr) session_->CloseDirectory(database_);
  database_ = nullptr;
}

TToolTable::~TToolTable() { Close(); }

void TToolTable::ReadLock() {
  if (locked_) return;
  table_->ReadLock();
  locked_ = table_->ReadLockHeld();
}

void TToolTable::ReadUnlock() {
  if (!locked_) return;
  locked_ = false;
  table_->ReadUnlock();
}

const std::string& TToolTable::Directory() const { return database_->Directory(); }

std::string TToolTable::FileName(std::string_view extension) const {
  return database_->TableFileName(name_, extension);
}

TDataFile& TToolTable::Data() { return table_->DataFile(); }
TIndexFile& TToolTable::Index() { return table_->IndexFile(); }
TBlobFile* TToolTable::Blob() { return table_->HasBlobFile() ? &table_->BlobFile() : nullptr; }

int32_t TToolTable::ReadableSlots() {
  TDataFile& data = Data();
  int64_t bytes = data.GetFileSize() - data.DataStart();
  int64_t in_file = bytes > 0 && data.RecordSize() > 0 ? bytes / data.RecordSize() : 0;
  return static_cast<int32_t>(
      std::max<int64_t>(0, std::min<int64_t>(in_file, data.RecordSlotCount())));
}

void TToolTable::ReadRecord(int32_t n, int32_t last, std::vector<uint8_t>* record) {
  TDataFile& data = Data();
  TRecord* cached = nullptr;
  data.GetRecord(nullptr, n, std::max(1, last - n + 1), &cached);
  record->assign(cached->Data(), cached->Data() + data.RecordSize());
  data.ReleaseRecord(cached);
  // Damaged definitions may place a field beyond the record; such a field
  // reads zeros instead of whatever lies behind the buffer.
  size_t extent = record->size();
  for (const TFieldDef& def : data.FieldDefs()) {
    const int declared = std::max(FieldPhysicalSize(def.type, def.size), int{def.phys_size});
    extent = std::max<size_t>(extent, size_t{def.offset} + 1 + static_cast<size_t>(declared));
  }
  record->resize(extent, 0);
}

std::vector<uint8_t> TToolTable::LoadBlob(int field_number, TBlobReference reference) {
  if (Blob() == nullptr) RaiseEngineError(FICHA_MEMOCORRUPT, name_);
  TBlobBuffer buffer(Blob(), nullptr, field_number, reference);
  buffer.LoadBlob();
  return std::vector<uint8_t>(buffer.Data(), buffer.Data() + buffer.Length());
}

// ---- TLeafWalk ----

TLeafWalk::TLeafWalk(TIndexFile& file, int index) : file_(file), index_(index) {
  int32_t p = file_.RootPage(index_);
  if (p == 0) return;
  for (;;) {
    Load(p);
    ++depth_;
    if (page_->IsLeaf()) break;
    if (depth_ >= kMaxIndexDepth) Fail(p, "the tree is deeper than the engine allows");
    p = page_->Value(1);
  }
}

TLeafWalk::~TLeafWalk() { Release(); }

void TLeafWalk::Release() {
  if (page_ != nullptr) file_.ReleasePage(page_);
  page_ = nullptr;
}

void TLeafWalk::Fail(int32_t page, const std::string& text) const {
  TIndexDef def = file_.IndexDefinition(index_);
  std::string name =
      index_ == kPrimaryIndex ? std::string("primary index") : "index '" + def.name + "'";
  throw TToolError(name + ", page " + std::to_string(page) + ": " + text +
                   " (run 'ficha check' for details)");
}

void TLeafWalk::Load(int32_t p) {
  Release();
  if (p <= 0 || p >= file_.NextPageNumber()) Fail(p, "page number outside the file");
  auto at = std::lower_bound(seen_.begin(), seen_.end(), p);
  if (at != seen_.end() && *at == p) Fail(p, "page reached twice (the links form a loop)");
  seen_.insert(at, p);
  file_.GetPage(nullptr, index_, p, &page_);
  position_ = 0;
  if (page_->Freed() || page_->Count() == 0) Fail(p, "empty or freed page inside the tree");
}

bool TLeafWalk::Next() {
  while (page_ != nullptr) {
    if (position_ < page_->Count()) {
      ++position_;
      return true;
    }
    int32_t next = page_->Next();
    if (next == 0) {
      Release();
      return false;
    }
    Load(next);
    if (!page_->IsLeaf()) Fail(next, "a leaf links to a page that is not a leaf");
  }
  return false;
}

const uint8_t* TLeafWalk::Key() const { return page_->Key(position_); }
int32_t TLeafWalk::Value() const { return page_->Value(position_); }

}  // namespace ficha
