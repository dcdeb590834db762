// Names of a table's files and the delete and rename of the whole set.
#include <gtest/gtest.h>

#include <filesystem>

#include "DataTestSupport.h"
#include "common/ErrorCodes.h"
#include "engine/data/TableFileSet.h"
#include "lib/file/FileList.h"

namespace ficha {
namespace {

using testing::CodeOf;

TEST(TableFileNameTest, DatExtensionIsReplacedAnyOtherKept) {
  EXPECT_EQ(TableFileName("C:\\APP\\DADOS\\", "PREFIXO", kIndexFileExt),
            "C:\\APP\\DADOS\\PREFIXO.IDX");
  EXPECT_EQ(TableFileName("D\\", " prefixo.dat ", kBlobFileExt), "D\\prefixo.BLB");
  EXPECT_EQ(TableFileName("D\\", "T.OLD", kDataFileExt), "D\\T.OLD.DAT");
  EXPECT_EQ(WithTableExtension("T.Dat", kDataFileExt), "T.DAT");
  EXPECT_EQ(BackupExtension(".idx"), kIndexBackupExt);
}

TEST(TableFileNameTest, RenameTargets) {
  EXPECT_EQ(RenamedTableFileName("D\\", "NOVO", false, kIndexFileExt, false), "D\\NOVO.IDX");
  EXPECT_EQ(RenamedTableFileName("D\\", "E:\\X\\NOVO", false, kIndexFileExt, false),
            "E:\\X\\NOVO.IDX");
  EXPECT_EQ(RenamedTableFileName("D\\", "NOVO", true, kDataFileExt, false), "NOVO.DAT");
  EXPECT_EQ(RenamedTableFileName("D\\", "T.DAT", false, kDataFileExt, true), "D\\T.DBK");
  EXPECT_EQ(RenamedTableFileName("D\\", "T", false, kBlobFileExt, true), "D\\T.BBK");
}

class TableFileSetTest : public ::testing::Test {
 protected:
  void Make(const std::string& name) { testing::WriteDiskFile(scratch_.File(name), {1, 2, 3}); }
  bool Exists(const std::string& name) { return std::filesystem::exists(scratch_.File(name)); }
  testing::ScratchDir scratch_;
};

TEST_F(TableFileSetTest, DeleteRemovesWhatExists) {
  Make("T.DAT");
  Make("T.IDX");
  DeleteTableFileSet(scratch_.Dir(), "T", false);
  EXPECT_FALSE(Exists("T.DAT"));
  EXPECT_FALSE(Exists("T.IDX"));
  EXPECT_EQ(CodeOf([&] { DeleteTableFileSet(scratch_.Dir(), "T", false); }), FICHA_OSENOENT);
}

TEST_F(TableFileSetTest, RenameMovesEachFileAndBackupReplacesOldBackups) {
  Make("T.DAT");
  Make("T.IDX");
  Make("T.BLB");
  Make("T.DBK");  // an old backup
  RenameTableFileSet(scratch_.Dir(), "T", "T", false, true);
  EXPECT_TRUE(Exists("T.DBK"));
  EXPECT_TRUE(Exists("T.IBK"));
  EXPECT_TRUE(Exists("T.BBK"));
  EXPECT_FALSE(Exists("T.DAT"));
  EXPECT_EQ(testing::ReadDiskFile(scratch_.File("T.DBK")).size(), 3u);

  Make("U.DAT");
  Make("U.IDX");
  RenameTableFileSet(scratch_.Dir(), "U", "V", false, false);
  EXPECT_TRUE(Exists("V.DAT"));
  EXPECT_TRUE(Exists("V.IDX"));
  EXPECT_FALSE(Exists("V.BLB"));
}

TEST_F(TableFileSetTest, InMemoryFilesTakeTheNewNameAsGiven) {
  TAbstractFile* file = nullptr;
  TFileList& list = FileList();
  int32_t id = list.Create("MEMT.DAT", true, false, &file);
  ASSERT_GT(id, 0);
  list.Close(file, true, id);
  RenameTableFileSet("", "MEMT", "MEMU", true, false);
  EXPECT_TRUE(list.Exists("MEMU.DAT", true));
  EXPECT_FALSE(list.Exists("MEMT.DAT", true));
  DeleteTableFileSet("", "MEMU", true);
  EXPECT_FALSE(list.Exists("MEMU.DAT", true));
}

}  // namespace
}  // namespace ficha
