#include "engine/session/DataTable.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "common/Fichacn.h"
#include "engine/blob/BlobFile.h"
#include "engine/data/DataFile.h"
#include "engine/data/TableFileSet.h"
#include "engine/index/IndexFile.h"
#include "engine/session/DataDirectory.h"
#include "engine/session/DataSession.h"
#include "lib/bitmap/RecordsBitmap.h"

namespace ficha {

namespace {

std::unique_ptr<TRecordsBitmap> NewBitmap() {
  auto bitmap = std::make_unique<TRecordsBitmap>();
  bitmap->SetSize(TDataTable::kInitialBitmapSize);
  return bitmap;
}

}  // namespace

TDataTable::TDataTable(TDataDirectory* database, std::string_view name, bool in_memory,
                       bool exclusive, bool discard_on_close)
    : database_(database),
      name_(name),
      exclusive_(exclusive),
      in_memory_(in_memory),
      discard_on_close_(discard_on_close),
      data_file_(std::make_unique<TDataFile>(this)),
      index_file_(std::make_unique<TIndexFile>(this)),
      blob_file_(std::make_unique<TBlobFile>(this)),
      locked_records_(NewBitmap()),
      cursor_held_records_(NewBitmap()),
      deferred_unlocks_(NewBitmap()) {}

TDataTable::~TDataTable() {
  if (!opened_) return;
  // Whatever still holds the table is gone: this is its last close.
  open_count_ = 0;
  in_transaction_ = false;
  try {
    Close(true);
  } catch (...) {
    CloseFiles();
  }
}

TDataSession* TDataTable::Session() const { return database_->Session(); }

const std::string& TDataTable::Directory() const { return database_->Directory(); }

bool TDataTable::ForceBufferFlush() const { return Session()->ForceBufferFlush(); }

bool TDataTable::StrictChangeDetection() const { return Session()->StrictChangeDetection(); }

TCacheLimits TDataTable::CacheLimits() const { return Session()->CacheLimits(); }

std::string TDataTable::PrivateDirectory() const { return Session()->PrivateDirectory(); }

bool TDataTable::HasPrimaryIndex() const {
  return !index_file_->IsOpen() || !index_file_->NoPrimaryIndex();
}

void TDataTable::SetRequestFlags(bool in_memory, bool exclusive, bool discard_on_close) {
  in_memory_ = in_memory;
  exclusive_ = exclusive;
  discard_on_close_ = discard_on_close;
}

std::string TDataTable::FileName(std::string_view extension) const {
  return TableFileName(database_->Directory(), name_, extension);
}

bool TDataTable::HasBlobFile() const { return blob_file_->IsOpen(); }

void TDataTable::Raise(int code) const {
  RaiseEngineError(code, name_, {}, {}, {}, {}, {}, database_->Directory());
}

// ---- Opening and closing ----

void TDataTable::Open() {
  ++open_count_;
  if (opened_) return;
  try {
    OpenFiles();
  } catch (...) {
    if (open_count_ > 0) --open_count_;
    CloseFiles();
    throw;
  }
}

void TDataTable::OpenFiles() {
  for (TFileHandler* file :
       {static_cast<TFileHandler*>(data_file_.get()), static_cast<TFileHandler*>(index_file_.get()),
        static_cast<TFileHandler*>(blob_file_.get())}) {
    file->SetInMemory(in_memory_);
    file->SetExclusive(exclusive_);
  }
  data_file_->SetName(FileName(kDataFileExt));
  index_file_->SetName(FileName(kIndexFileExt));
  blob_file_->SetName(FileName(kBlobFileExt));

  data_file_->OpenFile();
  index_file_->SetEncrypted(data_file_->Encrypted());
  index_file_->SetKeyContext(data_file_->FieldDefs(),
                             TKeyLanguage::For(data_file_->Language(), data_file_->Sort()));
  try {
    index_file_->OpenFile();
  } catch (const EFichaEngineError& e) {
    if (e.ErrorCode() != FICHA_OSENOENT) throw;
    // A lost index file must not make the data unreachable: start an empty
    // one, and let the first cursor rebuild what the engine needs.
    index_file_->CreateNewFile();
    index_file_->WriteIndexHeader(true);
    index_file_->CloseFile();
    index_file_->OpenFile();
    indexes_missing_ = true;
  }
  if (data_file_->BlobFieldCount() > 0) {
    blob_file_->SetBlockSize(data_file_->BlobBlockSize());
    blob_file_->SetEncrypted(data_file_->Encrypted());
    blob_file_->OpenFile();
  }
  read_only_ = data_file_->ReadOnly() || index_file_->ReadOnly() ||
               (blob_file_->IsOpen() && blob_file_->ReadOnly());
  read_only_attribute_ = data_file_->ReadOnlyAttribute() || index_file_->ReadOnlyAttribute() ||
                         (blob_file_->IsOpen() && blob_file_->ReadOnlyAttribute());
  if (read_only_attribute_) read_only_ = true;
  read_lock_ = ReadSlots();
  statement_read_lock_ = ReadSlots();
  write_lock_held_ = false;
  transaction_lock_held_ = false;
  opened_ = true;
}

void TDataTable::CloseFiles() {
  index_file_->CloseFile();
  blob_file_->CloseFile();
  data_file_->CloseFile();
  indexes_missing_ = false;
  changed_in_transaction_ = false;
  opened_ = false;
}

void TDataTable::Close(bool discard_allowed) {
  if (!opened_) return;
  if (open_count_ > 0) --open_count_;
  if (open_count_ > 0 || in_transaction_) return;
  // The files are closed whatever happens to the last write; its error is
  // reported afterwards.
  std::exception_ptr failure;
  if (exclusive_ && !read_only_) {
    try {
      if (discard_allowed && discard_on_close_) {
        DiscardBuffers(0);
      } else {
        FlushBuffers(kFlushDropBuffers);
      }
    } catch (...) {
      failure = std::current_exception();
    }
  }
  ReleaseAllLocks();
  CloseFiles();
  if (failure) std::rethrow_exception(failure);
}

// ---- Buffers ----

void TDataTable::FlushBuffers(unsigned flags) {
  if (!opened_ || read_only_) return;
  bool force_os = (flags & kFlushForceOs) != 0;
  bool trim = (flags & kFlushDropBuffers) != 0;
  // Inside a transaction the file classes only count the flagged header
  // changes; the data reaches the files at commit.
  data_file_->WriteBack((flags & kFlushDataHeader) != 0, force_os);
  if (trim) data_file_->TrimRecordCache();
  index_file_->FlushBuffers((flags & kFlushIndexHeader) != 0, force_os, trim);
  if (blob_file_->IsOpen())
    blob_file_->FlushBuffers((flags & kFlushBlobHeader) != 0, force_os, trim);
}

void TDataTable::WriteBuffersNow(unsigned flags) {
  bool was_committing = committing_;
  committing_ = true;
  try {
    FlushBuffers(flags);
  } catch (...) {
    committing_ = was_committing;
    throw;
  }
  committing_ = was_committing;
}

void TDataTable::WriteRebuiltIndexFile() {
  if (!opened_ || index_file_->ReadOnly()) return;
  bool was_committing = committing_;
  committing_ = true;
  try {
    index_file_->FlushBuffers(true, false, true);
  } catch (...) {
    committing_ = was_committing;
    throw;
  }
  committing_ = was_committing;
}

void TDataTable::DiscardBuffers(unsigned flags) {
  if (!opened_) return;
  data_file_->DiscardRecords();
  index_file_->DiscardPages();
  if (blob_file_->IsOpen()) blob_file_->DiscardBlocks();
  if (flags & kDiscardTrim) {
    data_file_->TrimRecordCache();
    index_file_->TrimPageCache();
    if (blob_file_->IsOpen()) blob_file_->TrimBlockCache();
  }
  if (flags & kDiscardRereadHeaders) {
    data_file_->ReadHeader();
    index_file_->ReadIndexHeader();
    if (blob_file_->IsOpen()) blob_file_->ReadBlobHeader();
  }
}

bool TDataTable::CheckForChanges() {
  if (!opened_) return false;
  bool changed = false;
  if (index_file_->IndexHeaderChanged()) {
    index_file_->DiscardPages();
    data_file_->HeaderChanged();
    data_file_->DiscardRecords();
    changed = true;
  } else if (data_file_->HeaderChanged()) {
    data_file_->DiscardRecords();
    changed = true;
  }
  // The blob header is compared in every case: a writer that changed only
  // blobs must not leave stale blocks behind.
  if (blob_file_->IsOpen() && blob_file_->BlobHeaderChanged()) {
    blob_file_->DiscardBlocks();
    changed = true;
  }
  return changed;
}

// ---- Transaction steps ----

void TDataTable::StartTransaction() {
  if (read_only_ || in_transaction_) return;
  if (exclusive_) FlushBuffers(0);
  in_transaction_ = true;
  try {
    TransactionLock();
  } catch (...) {
    in_transaction_ = false;
    throw;
  }
}

void TDataTable::CommitTransaction(bool end_transaction, bool force_flush) {
  if (!in_transaction_) return;
  unsigned flags = 0;
  if (end_transaction) flags |= kFlushDropBuffers;
  if (force_flush) flags |= kFlushForceOs;
  WriteBuffersNow(flags);
  changed_in_transaction_ = false;
}

void TDataTable::EndTransaction(bool end_transaction) {
  // Every step runs even when one fails, so that the table never stays in a
  // transaction that its database has left.
  std::exception_ptr failure;
  auto step = [&failure](auto&& action) {
    try {
      action();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  };
  if (!in_transaction_) {
    step([this] { WriteUnlock(); });
  } else if (end_transaction) {
    step([this] { WriteUnlock(); });
    step([this] { TransactionUnlock(); });
    in_transaction_ = false;
  } else {
    step([this] { PerformDeferredUnlocks(); });
    step([this] { WriteUnlock(); });
  }
  if (failure) std::rethrow_exception(failure);
}

void TDataTable::RollbackTransaction() {
  if (!in_transaction_) return;
  in_transaction_ = false;
  std::exception_ptr failure;
  try {
    DiscardBuffers(kDiscardRereadHeaders);
  } catch (...) {
    failure = std::current_exception();
  }
  changed_in_transaction_ = false;
  try {
    WriteUnlock();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  try {
    TransactionUnlock();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace ficha
