// Opening tables through databases and cursors: one shared table per table,
// exclusive use, file names, lost index files, read-only files, passwords
// and the header checks of the first cursor.
#include <sys/stat.h>

#include <fstream>

#include "tests/engine/session/TableFixture.h"

namespace ficha::testing {
namespace {

int OpenError(TDataCursor& cursor) {
  try {
    cursor.Open();
  } catch (const EFichaEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

TEST_F(SessionTest, OneDatabaseAndOneTableForDirectorySpellings) {
  CreateTable("PREFIXO", 3);
  std::string upper = dir_.string();
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  TDataDirectory* a = session_.OpenDirectory("", dir_.string());
  TDataDirectory* b = session_.OpenDirectory("", upper + "/");
  ASSERT_EQ(a, b);

  TDataCursor first(a);
  first.SetTableName("PREFIXO");
  first.Open();
  TDataCursor second(b);
  second.SetTableName("prefixo");
  second.Open();
  EXPECT_EQ(first.Table(), second.Table());
  EXPECT_EQ(first.Table()->OpenCount(), 2);
  EXPECT_EQ(a->Tables().size(), 1u);

  first.Close();
  EXPECT_EQ(a->Tables().size(), 1u);
  second.Close();
  EXPECT_TRUE(a->Tables().empty());
}

TEST_F(SessionTest, ExclusiveOpensRefusedWhileOtherCursorsHaveTheTable) {
  CreateTable("T", 1);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  struct Case {
    bool first_exclusive;
    bool second_exclusive;
  } cases[] = {{false, true}, {true, false}, {true, true}};
  for (const Case& c : cases) {
    TDataCursor first(db);
    first.SetTableName("T");
    first.SetExclusive(c.first_exclusive);
    first.Open();
    TDataCursor second(db);
    second.SetTableName("T");
    second.SetExclusive(c.second_exclusive);
    EXPECT_EQ(OpenError(second), FICHA_OSEACCES) << c.first_exclusive << c.second_exclusive;
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(first.Table()->OpenCount(), 1);
  }
  EXPECT_TRUE(db->Tables().empty());
}

TEST_F(SessionTest, ExclusiveOpenOfTableHeldOnlyByTransaction) {
  CreateTable("T", 1);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor shared(db);
  shared.SetTableName("T");
  shared.Open();
  TDataTable* table = shared.Table();
  db->StartTransaction();
  shared.Close();
  ASSERT_EQ(db->FindTable("T", false), table);

  TDataCursor exclusive(db);
  exclusive.SetTableName("T");
  exclusive.SetExclusive(true);
  exclusive.Open();
  EXPECT_EQ(exclusive.Table(), table);
  // The table keeps the flags it was opened with.
  EXPECT_FALSE(table->Exclusive());
  db->Rollback();
  EXPECT_EQ(db->FindTable("T", false), table);
  exclusive.Close();
  EXPECT_EQ(db->FindTable("T", false), nullptr);
}

TEST_F(SessionTest, TableNamedWithDirectoryOpensFilesInDatabaseDirectory) {
  CreateTable("CLIENTES", 2, /*with_blob=*/true);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("/nowhere/else/Clientes.dat");
  EXPECT_EQ(cursor.TableName(), "Clientes");
  cursor.Open();
  TDataTable* table = cursor.Table();
  EXPECT_EQ(table->DataFile().Name(), EngineDir() + "Clientes.DAT");
  EXPECT_EQ(table->IndexFile().Name(), EngineDir() + "Clientes.IDX");
  EXPECT_EQ(table->BlobFile().Name(), EngineDir() + "Clientes.BLB");
  EXPECT_TRUE(table->DataFile().IsOpen());
  EXPECT_TRUE(table->IndexFile().IsOpen());
  EXPECT_TRUE(table->HasBlobFile());
  EXPECT_FALSE(table->IndexesMissing());
  EXPECT_EQ(RecordId(*table, 2), 20);
}

TEST_F(SessionTest, TableWithoutBlobFieldsOpensNoBlobFile) {
  CreateTable("T", 1);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("T");
  cursor.Open();
  EXPECT_FALSE(cursor.Table()->HasBlobFile());
  EXPECT_EQ(FileSize("T.BLB"), -1);
}

TEST_F(SessionTest, MissingTableLeavesNothingOpen) {
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("NADA");
  EXPECT_EQ(OpenError(cursor), FICHA_OSENOENT);
  EXPECT_FALSE(cursor.IsOpen());
  EXPECT_TRUE(db->Tables().empty());
}

TEST_F(SessionTest, DeletedIndexFileIsRecreatedAndRecordsStayReadable) {
  CreateTable("AGENDA", 5);
  std::filesystem::remove(Path("AGENDA.IDX"));
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("AGENDA");
  cursor.Open();
  TDataTable* table = cursor.Table();
  EXPECT_TRUE(std::filesystem::exists(Path("AGENDA.IDX")));
  EXPECT_FALSE(table->IndexesMissing());
  EXPECT_TRUE(table->IndexFile().NoPrimaryIndex());
  EXPECT_EQ(table->IndexFile().SecondaryCount(), 0);
  EXPECT_EQ(table->IndexFile().ActiveRecords(), 5);
  EXPECT_EQ(table->IndexFile().KeyCount(31), 5);
  for (int32_t r = 1; r <= 5; ++r) EXPECT_EQ(RecordId(*table, r), r * 10);
  cursor.Close();

  // The rebuilt file is on disk: the next open finds it and rebuilds nothing.
  TDataCursor again(db);
  again.SetTableName("AGENDA");
  again.Open();
  EXPECT_FALSE(again.Table()->IndexesMissing());
  EXPECT_EQ(again.Table()->IndexFile().ActiveRecords(), 5);
  EXPECT_EQ(again.Table()->IndexFile().KeyCount(31), 5);
}

TEST_F(SessionTest, ReadOnlyFilesGiveReadOnlyCursorWithoutLocks) {
  CreateTable("FIXA", 2);
  for (const char* file : {"FIXA.DAT", "FIXA.IDX"}) {
    std::filesystem::permissions(Path(file), std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::group_read |
                                                 std::filesystem::perms::others_read);
  }
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("FIXA");
  cursor.Open();
  TDataTable* table = cursor.Table();
  EXPECT_TRUE(cursor.ReadOnly());
  EXPECT_TRUE(cursor.NoLocking());
  EXPECT_TRUE(table->ReadOnly());
  EXPECT_TRUE(table->ReadOnlyAttribute());

  EXPECT_FALSE(table->ReadLock());
  EXPECT_FALSE(table->WriteLock());
  EXPECT_FALSE(table->LockRecord(1));
  EXPECT_FALSE(table->ReadLockHeld());
  EXPECT_FALSE(table->WriteLockHeld());
  EXPECT_TRUE(CanLock("FIXA.IDX", kWriteRange, kWriteRangeLength));
  EXPECT_TRUE(CanLock("FIXA.DAT", kTransactionByte, 1));
  EXPECT_TRUE(CanLock("FIXA.DAT", RecordLockOffset(1), 1));
  EXPECT_FALSE(cursor.CheckChangesBeforeRead());

  // A read-only table takes no part in a transaction.
  db->StartTransaction();
  EXPECT_FALSE(table->TakesPartInTransaction());
  EXPECT_TRUE(CanLock("FIXA.DAT", kTransactionByte, 1));
  db->Commit(true, true);

  try {
    cursor.RequireWritable();
    ADD_FAILURE() << "a read-only cursor accepted a write";
  } catch (const EFichaEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), FICHA_OSEACCES);
    EXPECT_EQ(e.ErrorTableName(), "FIXA");
    EXPECT_EQ(e.ErrorDatabaseName(), EngineDir());
  }
}

TEST_F(SessionTest, HeaderCheckAgainstFileSizeOnFirstCursor) {
  CreateTable("T", 2);
  {
    std::ofstream out(Path("T.DAT"), std::ios::binary | std::ios::app);
    out << "xyz";  // not a whole record
  }
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("T");
  EXPECT_EQ(OpenError(cursor), FICHA_HEADERCORRUPT);
  EXPECT_FALSE(cursor.IsOpen());
  EXPECT_TRUE(db->Tables().empty());
  // Nothing was left locked or open: the file can be opened exclusively.
  TFileHandler file;
  file.SetName(Path("T.DAT").string());
  file.SetExclusive(true);
  EXPECT_NO_THROW(file.OpenFile());
}

TEST_F(SessionTest, TruncatedIndexFileFailsHeaderCheck) {
  CreateTable("T", 2);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  {
    // Give the index file a page, then cut the page off.
    TDataCursor cursor(db);
    cursor.SetTableName("T");
    cursor.Open();
    TPage* page = cursor.Table()->IndexFile().NewPage(31);
    cursor.Table()->IndexFile().ReleasePage(page);
    cursor.FlushBuffers(true, kFlushIndexHeader);
  }
  ASSERT_EQ(FileSize("T.IDX"), 2 * 4096);
  std::filesystem::resize_file(Path("T.IDX"), 4096);
  TDataCursor cursor(db);
  cursor.SetTableName("T");
  EXPECT_EQ(OpenError(cursor), FICHA_HEADERCORRUPT);
}

TEST_F(SessionTest, PasswordProtectedTable) {
  CreateTable("SIGILO", 1, false, "abre");
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("SIGILO");
  EXPECT_EQ(OpenError(cursor), FICHA_NOTSUFFTABLERIGHTS);
  EXPECT_TRUE(db->Tables().empty());

  int asked = 0;
  cursor.SetPasswordRequest([&](TDataCursor&) {
    ++asked;
    session_.AddPassword(asked == 1 ? "ABRE" : "abre");
    return true;
  });
  cursor.Open();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(RecordId(*cursor.Table(), 1), 10);
  cursor.Close();

  // Known now: no question asked.
  cursor.SetPasswordRequest([&](TDataCursor&) { return false; });
  EXPECT_NO_THROW(cursor.Open());
}

TEST_F(SessionTest, SettersRefusedWhileOpen) {
  CreateTable("T", 1);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("T");
  cursor.Open();
  std::vector<std::function<void()>> setters = {
      [&] { cursor.SetTableName("U"); }, [&] { cursor.SetExclusive(true); },
      [&] { cursor.SetReadOnly(true); }, [&] { cursor.SetInMemory(true); }};
  for (auto& setter : setters) {
    try {
      setter();
      ADD_FAILURE() << "setter accepted on an open cursor";
    } catch (const EFichaEngineError& e) {
      EXPECT_EQ(e.ErrorCode(), FICHA_TABLEOPEN);
      EXPECT_EQ(e.ErrorTableName(), "T");
    }
  }
  EXPECT_EQ(cursor.TableName(), "T");
  try {
    cursor.RequireExclusive();
    ADD_FAILURE();
  } catch (const EFichaEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), FICHA_NEEDEXCLACCESS);
  }
}

TEST_F(SessionTest, CloneSharesTheTable) {
  CreateTable("T", 1);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("T");
  cursor.SetNaturalOrder(true);
  cursor.Open();
  std::unique_ptr<TDataCursor> clone = cursor.Clone();
  EXPECT_TRUE(clone->IsOpen());
  EXPECT_EQ(clone->Table(), cursor.Table());
  EXPECT_EQ(clone->ActiveIndex(), TDataCursor::kNoIndex);
  EXPECT_EQ(cursor.Table()->OpenCount(), 2);
  EXPECT_FALSE(cursor.Table()->ReadLockHeld());
  clone.reset();
  EXPECT_EQ(cursor.Table()->OpenCount(), 1);
}

TEST_F(SessionTest, TableExistsAndTempNames) {
  CreateTable("T", 0);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  EXPECT_TRUE(db->TableExists("T", false));
  EXPECT_TRUE(db->TableExists("t.dat", false));
  EXPECT_FALSE(db->TableExists("T", true));
  EXPECT_FALSE(db->TableExists("U", false));

  std::string name = db->MakeTempTableName(false);
  EXPECT_EQ(db->MakeTempTableName(false), name);
  EXPECT_TRUE(HasDataExtension(name));
  EXPECT_FALSE(db->TableExists(name, false));
  CreateTable(CursorTableName(name), 0);
  std::string next = db->MakeTempTableName(false);
  EXPECT_NE(next, name);
  EXPECT_EQ(next.substr(0, next.size() - 5), name.substr(0, name.size() - 5));
}

TEST_F(SessionTest, InMemoryTablesAreApartFromDiskTables) {
  TDataDirectory* memory = session_.OpenDirectory("MEMORY", "");
  CreateTableIn(memory->Directory(), true, "H7MEM", 2);
  EXPECT_TRUE(memory->TableExists("H7MEM", true));
  EXPECT_FALSE(memory->TableExists("H7MEM", false));

  TDataCursor disk(memory);
  disk.SetTableName("H7MEM");
  EXPECT_EQ(OpenError(disk), FICHA_OSENOENT);

  TDataCursor cursor(memory);
  cursor.SetTableName("H7MEM");
  cursor.SetInMemory(true);
  cursor.Open();
  EXPECT_TRUE(cursor.Table()->InMemory());
  EXPECT_EQ(memory->FindTable("H7MEM", false), nullptr);
  EXPECT_EQ(RecordId(*cursor.Table(), 2), 20);
  cursor.Close();
  FileList().Delete("H7MEM.DAT", true);
  FileList().Delete("H7MEM.IDX", true);
}

TEST_F(SessionTest, DatabaseDestroyedWithOpenCursorClosesIt) {
  CreateTable("T", 1);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor cursor(db);
  cursor.SetTableName("T");
  cursor.Open();
  session_.CloseDirectory(db);
  EXPECT_FALSE(cursor.IsOpen());
  EXPECT_EQ(cursor.Database(), nullptr);
  EXPECT_EQ(OpenError(cursor), FICHA_NOTINITIALIZED);
}

}  // namespace
}  // namespace ficha::testing
