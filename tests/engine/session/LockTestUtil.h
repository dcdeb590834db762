// Small helpers shared by the locking and blob tests.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tests/engine/session/TableFixture.h"

namespace ficha::testing {

// The engine error code that action raises, 0 when it raises none.
inline int ErrorCodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EFichaEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

// An open shared cursor on table in database.
inline std::unique_ptr<TDataCursor> OpenCursor(TDataDirectory* database, const std::string& table,
                                               bool exclusive = false) {
  auto cursor = std::make_unique<TDataCursor>(database);
  cursor->SetTableName(table);
  cursor->SetExclusive(exclusive);
  cursor->Open();
  return cursor;
}

// The ID field of record n changed in the table's cache and written as a
// change operation writes it (under the write lock).
inline void WriteRecordId(TDataCursor& cursor, int32_t n, int32_t id) {
  TDataTable& table = *cursor.Table();
  table.WriteLock();
  TRecord* record = nullptr;
  while (!table.DataFile().GetRecord(nullptr, n, 1, &record)) {
  }
  PutI32(FieldValue(record->Data(), table.DataFile().FieldDefs()[0]), id);
  record->MarkDirty();
  table.DataFile().ReleaseRecord(record);
  cursor.FlushBuffers(false, kFlushDataHeader);
  table.WriteUnlock();
}

}  // namespace ficha::testing
