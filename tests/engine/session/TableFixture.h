// Tables on disk for the session tests, made through the file classes
// directly (table creation through a cursor is not part of these tests).
//
// Each test gets a fresh directory under the temporary-files directory. A
// table has an integer field ID and a 10-character string NAME (and a memo
// field NOTES when asked for); record i (1-based) holds ID = i * 10 and
// NAME = "N" + i.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Fichacn.h"
#include "engine/blob/BlobFile.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/PlainTableOwner.h"
#include "engine/data/RecordLayout.h"
#include "engine/data/TableFileSet.h"
#include "engine/index/IndexFile.h"
#include "engine/session/DataCursor.h"
#include "engine/session/DataDirectory.h"
#include "engine/session/DataSession.h"
#include "engine/session/DataTable.h"
#include "engine/session/TableNames.h"
#include "lib/bitmap/RecordsBitmap.h"
#include "lib/file/FileHandler.h"

namespace ficha::testing {

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The directory as a database has it ("\" separators, trailing "\").
  std::string EngineDir() const { return TDataSession::NormalizeDirectory(dir_.string()); }
  std::filesystem::path Path(const std::string& file) const { return dir_ / file; }

  // A password encrypts the table.
  void CreateTable(const std::string& name, int records, bool with_blob = false,
                   const std::string& password = "") const {
    CreateTableIn(EngineDir(), false, name, records, with_blob, password);
  }
  static void CreateTableIn(const std::string& directory, bool in_memory, const std::string& name,
                            int records, bool with_blob = false, const std::string& password = "");
  // Appends records through the data file of an open table, on behalf of no
  // cursor; returns their numbers.
  static std::vector<int32_t> AppendRecords(TDataTable& table, int count, int first_id);
  // ID of record n as the table's cache (or disk) has it; -1 for a deleted
  // record.
  static int32_t RecordId(TDataTable& table, int32_t n);
  // ID of record n as a fresh read of the data file on disk shows it (0
  // when the file holds fewer records).
  int32_t RecordIdOnDisk(const std::string& table, int32_t n) const;
  int64_t FileSize(const std::string& file) const;
  // Whether another handle (as another program would) can lock the range.
  bool CanLock(const std::string& file, int64_t offset, int64_t length) const;

  std::filesystem::path dir_;
  TDataSession session_;
};

constexpr int64_t kTransactionByte = 0xFFFFFFFFLL;
constexpr int64_t kWriteRange = 0xFFFEFFFFLL;
constexpr int64_t kWriteRangeLength = 65536;
inline int64_t RecordLockOffset(int32_t r) { return 0xFFFFFFFELL - r; }

}  // namespace ficha::testing
