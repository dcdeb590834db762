#include "engine/session/DataCursor.h"

#include <algorithm>
#include <exception>

#include "common/Fichacn.h"
#include "engine/blob/BlobFile.h"
#include "engine/data/DataFile.h"
#include "engine/data/RecordLayout.h"
#include "engine/index/IndexFile.h"
#include "engine/session/CursorBlobs.h"
#include "engine/session/DataDirectory.h"
#include "engine/session/DataSession.h"
#include "engine/session/DataTable.h"
#include "engine/session/TableNames.h"

namespace ficha {

TDataCursor::TDataCursor(TDataDirectory* database) : database_(database) {
  if (database_ != nullptr) database_->RegisterCursor(this);
}

TDataCursor::~TDataCursor() {
  try {
    Close();
  } catch (const std::exception&) {
    // A destructor cannot report; the table has been closed regardless.
  }
  if (database_ != nullptr) database_->UnregisterCursor(this);
}

void TDataCursor::Raise(int code, std::string_view field, std::string_view index) const {
  RaiseEngineError(code, table_name_, field, index, {}, {}, {},
                   database_ != nullptr ? database_->Directory() : std::string());
}

void TDataCursor::RequireClosed() const {
  if (open_) Raise(FICHA_TABLEOPEN);
}

void TDataCursor::SetTableName(std::string_view name) {
  RequireClosed();
  table_name_ = CursorTableName(name);
  if (table_name_.size() > 255) table_name_.resize(255);
}

void TDataCursor::SetExclusive(bool on) {
  RequireClosed();
  exclusive_ = on;
}

void TDataCursor::SetReadOnly(bool on) {
  RequireClosed();
  read_only_ = on;
}

void TDataCursor::SetInMemory(bool on) {
  RequireClosed();
  in_memory_ = on;
}

void TDataCursor::SetResultCursor(bool on) {
  RequireClosed();
  result_cursor_ = on;
}

void TDataCursor::SetDiscardOnClose(bool on) {
  RequireClosed();
  discard_on_close_ = on;
}

void TDataCursor::SetNaturalOrder(bool on) {
  RequireClosed();
  natural_order_ = on;
}

void TDataCursor::RequireExclusive() const {
  if (!exclusive_) Raise(FICHA_NEEDEXCLACCESS);
}

void TDataCursor::RequireWritable() const {
  if (read_only_) Raise(FICHA_OSEACCES);
}

// ---- Open and close ----

void TDataCursor::Open() {
  if (open_) return;
  if (database_ == nullptr) Raise(FICHA_NOTINITIALIZED);
  TDataTable* table = nullptr;
  int result = database_->OpenTable(table_name_, in_memory_, exclusive_, discard_on_close_, &table);
  if (result < 0) Raise(result);
  table_ = table;
  open_ = true;
  try {
    if (table_->ReadOnly()) read_only_ = true;
    // A table that only a transaction held keeps its shared files: a cursor
    // acting as exclusive on them would neither write nor lock.
    if (!table_->Exclusive()) exclusive_ = false;
    no_locking_ = table_->ReadOnlyAttribute();
    if (table_->OpenCount() == 1 && !table_->ChangedInTransaction()) CheckHeadersAgainstFiles();
    CheckPassword();
    LoadDescriptors();
    TakeSnapshot();
    if (table_->IndexesMissing()) RebuildIndexFile();
    // A table without a primary index is in record-number order on index 0.
    active_index_ = natural_order_ ? kNoIndex : 0;
    index_name_ = active_index_ == kNoIndex || indexes_.empty() ? std::string() : indexes_[0].name;
  } catch (...) {
    try {
      Close();
    } catch (...) {
    }
    throw;
  }
}

void TDataCursor::CheckHeadersAgainstFiles() {
  table_->ReadLock();
  try {
    table_->DataFile().ValidateTable();
    table_->IndexFile().ValidateIndexHeader();
    CheckIndexFileSize();
    if (table_->HasBlobFile()) table_->BlobFile().ValidateBlobHeader();
  } catch (...) {
    try {
      table_->ReadUnlock();
    } catch (...) {
    }
    throw;
  }
  table_->ReadUnlock();
}

void TDataCursor::CheckIndexFileSize() {
  // Every page the header counts must be in the file: a shorter file lost
  // pages that the indexes point to.
  TIndexFile& index = table_->IndexFile();
  int64_t size = index.GetFileSize();
  int64_t pages = index.NextPageNumber() - 1;
  if (size < kIndexHeaderSize || pages < 0 || (pages + 1) * kIndexPageSize > size) {
    Raise(FICHA_HEADERCORRUPT);
  }
}

void TDataCursor::CheckPassword() {
  TDataFile& data = table_->DataFile();
  if (!data.Encrypted()) return;
  std::string password = data.Password();
  TDataSession* session = database_->Session();
  while (!session->HasPassword(password)) {
    if (!password_request_ || !password_request_(*this)) Raise(FICHA_NOTSUFFTABLERIGHTS);
  }
}

void TDataCursor::LoadDescriptors() {
  TDataFile& data = table_->DataFile();
  fields_ = data.FieldDefs();
  indexes_.clear();
  TIndexFile& index = table_->IndexFile();
  indexes_.push_back(index.IndexDefinition(0));
  for (int i = 1; i <= index.SecondaryCount(); ++i) indexes_.push_back(index.IndexDefinition(i));
  language_id_ = data.Language();
  sort_id_ = data.Sort();
  record_buffer_.assign(data.RecordSize(), 0);
  range_start_key_.assign(kMaxKeyLength, 0);
  range_end_key_.assign(kMaxKeyLength, 0);
}

void TDataCursor::RebuildIndexFile() {
  // The recreated index file has no index definitions: the table goes on in
  // record-number order, with the record-status index and the live-record
  // count rebuilt from the data. Indexes have to be defined again.
  constexpr int kRecordStatusIndex = 31;
  TDataFile& data = table_->DataFile();
  TIndexFile& index = table_->IndexFile();
  table_->WriteLock();
  try {
    index.SetNoPrimaryIndex(true);
    const TKeyDescriptor& keys = index.Keys(kRecordStatusIndex);
    std::vector<uint8_t> key(static_cast<size_t>(keys.KeySize()));
    int32_t live = 0;
    int32_t slots = data.RecordSlotCount();
    for (int32_t r = 1; r <= slots; ++r) {
      TRecord* record = nullptr;
      // A foreign change found before a disk read means: read again.
      while (!data.GetRecord(this, r, kReadAheadForward, &record)) {
      }
      if (!RecordIsDeleted(record->Data())) ++live;
      keys.BuildKey(record->Data(), key.data());
      data.ReleaseRecord(record);
      index.InsertKey(kRecordStatusIndex, key.data(), r);
    }
    index.SetActiveRecords(live);
    // Written at once even inside a transaction: a rollback must not take
    // the rebuilt index with it.
    table_->WriteRebuiltIndexFile();
    data.TrimRecordCache();
  } catch (...) {
    try {
      table_->WriteUnlock();
    } catch (...) {
    }
    throw;
  }
  table_->WriteUnlock();
  table_->ClearIndexesMissing();
  LoadDescriptors();
  TakeSnapshot();
}

void TDataCursor::ReleaseBuffers() {
  record_buffer_.clear();
  record_buffer_.shrink_to_fit();
  range_start_key_.clear();
  range_end_key_.clear();
}

void TDataCursor::Close(bool discard_allowed) {
  if (!open_) return;
  // Open blobs are dropped without writing; unposted changes are lost.
  if (blobs_) blobs_->Clear();
  ReleaseRecordLocks();
  ReleaseBuffers();
  TDataTable* table = table_;
  table_ = nullptr;
  open_ = false;
  int result = database_ != nullptr ? database_->CloseTable(table, discard_allowed) : 0;
  fields_.clear();
  indexes_.clear();
  if (result < 0) Raise(result);
}

// ---- Clone, refresh, flush ----

std::unique_ptr<TDataCursor> TDataCursor::Clone() {
  if (!open_) Raise(FICHA_NOCURRREC);
  table_->ReadLock();
  std::unique_ptr<TDataCursor> clone;
  try {
    clone = std::make_unique<TDataCursor>(database_);
    clone->table_name_ = table_name_;
    clone->exclusive_ = exclusive_;
    clone->read_only_ = read_only_;
    clone->in_memory_ = in_memory_;
    clone->result_cursor_ = result_cursor_;
    clone->discard_on_close_ = discard_on_close_;
    clone->natural_order_ = natural_order_;
    clone->password_request_ = password_request_;
    clone->Open();
    clone->fields_ = fields_;
    clone->active_index_ = active_index_;
    clone->index_name_ = index_name_;
  } catch (...) {
    clone.reset();
    try {
      table_->ReadUnlock();
    } catch (...) {
    }
    throw;
  }
  table_->ReadUnlock();
  return clone;
}

void TDataCursor::Refresh() {
  if (!open_) return;
  table_->ReadLock();
  try {
    std::fill(record_buffer_.begin(), record_buffer_.end(), 0);
  } catch (...) {
    try {
      table_->ReadUnlock();
    } catch (...) {
    }
    throw;
  }
  table_->ReadUnlock();
}

void TDataCursor::FlushBuffers(bool force, unsigned flags) {
  if (!open_) return;
  if (!exclusive_ || force) {
    table_->FlushBuffers(flags);
  } else if (!table_->ReadOnly()) {
    // Written at close, when forced or when a cache overflows; meanwhile the
    // counters show the change.
    if (flags & kFlushDataHeader) table_->DataFile().MarkHeaderChanged();
    if (flags & kFlushIndexHeader) table_->IndexFile().MarkIndexHeaderChanged();
    if ((flags & kFlushBlobHeader) && table_->HasBlobFile()) {
      table_->BlobFile().MarkBlobHeaderChanged();
    }
  }
  TakeSnapshot();
}

void TDataCursor::TakeSnapshot() {
  if (table_ == nullptr) return;
  snapshot_ = {static_cast<uint32_t>(table_->DataFile().ChangeCount()),
               static_cast<uint32_t>(table_->IndexFile().ChangeCount()),
               table_->HasBlobFile()
                   ? static_cast<uint32_t>(table_->BlobFile().Header().ChangeCount())
                   : 0u};
}

bool TDataCursor::SnapshotStale() const {
  if (table_ == nullptr) return false;
  std::array<uint32_t, 3> now = {
      static_cast<uint32_t>(table_->DataFile().ChangeCount()),
      static_cast<uint32_t>(table_->IndexFile().ChangeCount()),
      table_->HasBlobFile() ? static_cast<uint32_t>(table_->BlobFile().Header().ChangeCount())
                            : 0u};
  return now != snapshot_;
}

bool TDataCursor::CheckChangesBeforeRead() {
  if (!open_ || exclusive_ || no_locking_) return false;
  // The snapshot is left as it was: the stale counters tell the walk that
  // starts again to re-position.
  return table_->ReadLock();
}

}  // namespace ficha
