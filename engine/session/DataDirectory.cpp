#include "engine/session/DataDirectory.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "common/Fichacn.h"
#include "engine/data/TableFileSet.h"
#include "engine/session/DataCursor.h"
#include "engine/session/DataSession.h"
#include "engine/session/DataTable.h"
#include "engine/session/TableNames.h"
#include "lib/file/FileList.h"

namespace ficha {

TDataDirectory::TDataDirectory(TDataSession* session, std::string_view database_name,
                               std::string_view directory)
    : session_(session), database_name_(database_name), directory_(directory) {}

TDataDirectory::~TDataDirectory() {
  // Destroying a database while its transaction runs loses the transaction;
  // an error on the way must not stop the files from being closed.
  if (in_transaction_) {
    try {
      Rollback();
    } catch (const std::exception&) {
      in_transaction_ = false;
    }
  }
  // Cursors outliving their database would refer to freed tables.
  while (!cursors_.empty()) {
    TDataCursor* cursor = cursors_.back();
    try {
      cursor->Close();
    } catch (const std::exception&) {
    }
    cursor->DetachDatabase();
    cursors_.pop_back();
  }
  while (!tables_.empty()) tables_.pop_back();
}

int TDataDirectory::ReleaseUse() {
  if (use_count_ > 0) --use_count_;
  return use_count_;
}

void TDataDirectory::RegisterCursor(TDataCursor* cursor) { cursors_.push_back(cursor); }

void TDataDirectory::UnregisterCursor(TDataCursor* cursor) {
  auto it = std::find(cursors_.begin(), cursors_.end(), cursor);
  if (it != cursors_.end()) cursors_.erase(it);
}

TDataTable* TDataDirectory::FindTable(std::string_view name, bool in_memory) const {
  for (const auto& table : tables_) {
    if (table->InMemory() == in_memory && SameName(table->Name(), name)) return table.get();
  }
  return nullptr;
}

int TDataDirectory::OpenTable(std::string_view name, bool in_memory, bool exclusive,
                              bool discard_on_close, TDataTable** table) {
  *table = nullptr;
  TDataTable* found = FindTable(name, in_memory);
  if (found != nullptr && (found->OpenCount() > 0 || found->TakesPartInTransaction())) {
    if ((found->Exclusive() || exclusive) && found->OpenCount() > 0) return -FICHA_OSEACCES;
    found->Open();
    *table = found;
    return 0;
  }
  if (found != nullptr) {
    found->SetRequestFlags(in_memory, exclusive, discard_on_close);
    try {
      found->Open();
      if (in_transaction_) found->StartTransaction();
    } catch (...) {
      found->Close(false);
      if (found->OpenCount() == 0 && !found->TakesPartInTransaction()) DestroyTable(found);
      throw;
    }
    *table = found;
    return 0;
  }
  auto created =
      std::make_unique<TDataTable>(this, TrimName(name), in_memory, exclusive, discard_on_close);
  created->Open();
  if (in_transaction_) {
    try {
      created->StartTransaction();
    } catch (...) {
      created->Close(false);
      throw;
    }
  }
  tables_.push_back(std::move(created));
  *table = tables_.back().get();
  return 0;
}

int TDataDirectory::CloseTable(TDataTable* table, bool discard_allowed) {
  auto it = std::find_if(tables_.begin(), tables_.end(),
                         [table](const auto& t) { return t.get() == table; });
  if (it == tables_.end()) return -FICHA_OSENOENT;
  std::exception_ptr failure;
  try {
    table->Close(discard_allowed);
  } catch (...) {
    // The table closed its files all the same; report once it is gone.
    failure = std::current_exception();
  }
  if (table->OpenCount() == 0 && !table->TakesPartInTransaction()) DestroyTable(table);
  if (failure) std::rethrow_exception(failure);
  return 0;
}

void TDataDirectory::DestroyTable(TDataTable* table) {
  auto it = std::find_if(tables_.begin(), tables_.end(),
                         [table](const auto& t) { return t.get() == table; });
  if (it != tables_.end()) tables_.erase(it);
}

void TDataDirectory::DropUnusedTables() {
  std::exception_ptr failure;
  for (size_t i = tables_.size(); i-- > 0;) {
    TDataTable* table = tables_[i].get();
    if (table->OpenCount() > 0 || table->TakesPartInTransaction()) continue;
    // Its cursors are gone: this is the last close of a table that only the
    // transaction kept open.
    try {
      table->Close(true);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    DestroyTable(table);
  }
  if (failure) std::rethrow_exception(failure);
}

std::string TDataDirectory::TableFileName(std::string_view name, std::string_view extension) const {
  return ficha::TableFileName(directory_, name, extension);
}

bool TDataDirectory::TableExists(std::string_view name, bool in_memory) const {
  std::string_view stored = TrimName(name);
  if (HasDataExtension(stored)) stored.remove_suffix(4);
  if (FindTable(stored, in_memory) != nullptr) return true;
  return FileList().Exists(TableFileName(name, ".DAT"), in_memory);
}

std::string TDataDirectory::MakeTempTableName(bool in_memory) const {
  long id = static_cast<long>(gettid());
  std::string base = std::to_string(std::labs(id)).substr(0, 5);
  for (unsigned long counter = 0;; ++counter) {
    std::string name = base + std::to_string(counter) + ".DAT";
    if (!TableExists(name, in_memory)) return name;
  }
}

void TDataDirectory::StartTransaction() {
  if (in_transaction_) return;
  size_t started = 0;
  try {
    for (; started < tables_.size(); ++started) tables_[started]->StartTransaction();
  } catch (...) {
    for (size_t i = 0; i <= started && i < tables_.size(); ++i) {
      try {
        tables_[i]->RollbackTransaction();
      } catch (...) {
      }
    }
    throw;
  }
  in_transaction_ = true;
}

void TDataDirectory::Commit(bool end_transaction, bool force_flush) {
  if (!in_transaction_) return;
  // Every write lock first: a table that cannot be had leaves the
  // transaction as it was, without anything written.
  size_t count = tables_.size();
  for (size_t i = count; i-- > 0;) {
    // Tables outside the transaction (read-only ones) write nothing.
    if (!tables_[i]->TakesPartInTransaction()) continue;
    try {
      tables_[i]->WriteLock();
    } catch (...) {
      for (size_t j = count; j-- > i + 1;) {
        try {
          tables_[j]->WriteUnlock();
        } catch (...) {
        }
      }
      throw;
    }
  }
  std::exception_ptr failure;
  for (size_t i = count; i-- > 0;) {
    try {
      tables_[i]->CommitTransaction(end_transaction, force_flush);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  for (size_t i = count; i-- > 0;) {
    try {
      tables_[i]->EndTransaction(end_transaction);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (end_transaction) in_transaction_ = false;
  try {
    DropUnusedTables();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void TDataDirectory::Rollback() {
  if (!in_transaction_) return;
  std::exception_ptr failure;
  for (size_t i = tables_.size(); i-- > 0;) {
    try {
      tables_[i]->RollbackTransaction();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  in_transaction_ = false;
  try {
    DropUnusedTables();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace ficha
