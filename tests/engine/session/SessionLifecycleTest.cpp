// Cursor and table lifecycle cases around transactions and exclusive use
// that concern whether changes reach the files.
#include "tests/engine/session/TableFixture.h"

namespace ficha::testing {
namespace {

// A cursor asking for exclusive use of a table that only a transaction holds
// gets the table as it is, shared: its changes must still be written as a
// shared table's, or they would never reach the files.
TEST_F(SessionTest, ExclusiveCursorOnSharedTableWritesItsChanges) {
  CreateTable("T", 1);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  TDataCursor shared(db);
  shared.SetTableName("T");
  shared.Open();
  db->StartTransaction();
  shared.Close();

  TDataCursor cursor(db);
  cursor.SetTableName("T");
  cursor.SetExclusive(true);
  cursor.Open();
  TDataTable* table = cursor.Table();
  ASSERT_FALSE(table->Exclusive());
  // The files are not the process's alone: operations that need exclusive
  // use must not run on them.
  EXPECT_FALSE(cursor.Exclusive());
  db->Commit(true, false);
  ASSERT_EQ(db->FindTable("T", false), table);

  AppendRecords(*table, 1, 20);
  cursor.FlushBuffers(false, kFlushIndexHeader);
  EXPECT_EQ(RecordIdOnDisk("T", 2), 20);
  cursor.Close();
  EXPECT_EQ(RecordIdOnDisk("T", 2), 20);
}

// A lost index file next to a read-only data file: the recreated file must
// hold the rebuilt record-status index, or the next open finds an index file
// that claims no records.
TEST_F(SessionTest, IndexFileRecreatedBesideReadOnlyDataFileKeepsItsRebuild) {
  CreateTable("FIXA", 3);
  std::filesystem::remove(Path("FIXA.IDX"));
  std::filesystem::permissions(Path("FIXA.DAT"), std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::group_read |
                                                     std::filesystem::perms::others_read);
  TDataDirectory* db = session_.OpenDirectory("", EngineDir());
  for (int pass = 0; pass < 2; ++pass) {
    TDataCursor cursor(db);
    cursor.SetTableName("FIXA");
    cursor.Open();
    EXPECT_TRUE(cursor.ReadOnly());
    EXPECT_EQ(cursor.Table()->IndexFile().ActiveRecords(), 3) << pass;
    EXPECT_EQ(cursor.Table()->IndexFile().KeyCount(31), 3) << pass;
  }
}

}  // namespace
}  // namespace ficha::testing
