// Sharing modes and byte-range locks between two processes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/ErrorCodes.h"
#include "lib/file/FileHandler.h"
#include "tests/lib/file/FileTestSupport.h"

namespace ficha {
namespace {

class CrossProcessTest : public ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    std::ofstream(OsPath("T.DAT"), std::ios::binary) << "table";
  }
  // A child that opens T.DAT (exclusively or not), reports, and holds it
  // until told to finish. Exit status 0 when its open succeeded.
  int HoldOpen(ChildProcess& self, bool exclusive) {
    TFileHandler h;
    h.SetName(Path("T.DAT"));
    h.SetExclusive(exclusive);
    int code = CodeOf([&] { h.OpenFile(); });
    self.Tell(code == 0 ? 'o' : 'e');
    self.Await();
    return code == 0 ? 0 : 1;
  }
};

TEST_F(CrossProcessTest, ExclusiveOpenIsRefusedWhileAnotherProcessHasTheFile) {
  ChildProcess child([&](ChildProcess& self) { return HoldOpen(self, false); });
  ASSERT_EQ(child.Await(), 'o');
  TFileHandler h;
  h.SetName(Path("T.DAT"));
  h.SetExclusive(true);
  EXPECT_EQ(CodeOf([&] { h.OpenFile(); }), FICHA_OSEACCES);
  // Create, delete and rename would pull the file from under the other user.
  EXPECT_EQ(CodeOf([&] { h.CreateNewFile(); }), FICHA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { h.RemoveFile(); }), FICHA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { h.RenameFile(Path("U.DAT")); }), FICHA_OSEACCES);
  TFileHandler shared;
  shared.SetName(Path("t.dat"));
  EXPECT_EQ(CodeOf([&] { shared.OpenFile(); }), 0);  // sharing is fine
  shared.CloseFile();
  EXPECT_EQ(child.Finish(), 0);
  EXPECT_EQ(CodeOf([&] { h.OpenFile(); }), 0);  // once the other process is gone
  // And the content survived the refused create.
  char buf[5];
  EXPECT_EQ(h.ReadData(buf, 5, false), 5);
}

TEST_F(CrossProcessTest, SharedOpenIsRefusedWhileAnotherProcessHasItExclusively) {
  ChildProcess child([&](ChildProcess& self) { return HoldOpen(self, true); });
  ASSERT_EQ(child.Await(), 'o');
  TFileHandler h;
  h.SetName(Path("T.DAT"));
  EXPECT_EQ(CodeOf([&] { h.OpenFile(); }), FICHA_OSEACCES);
  EXPECT_EQ(child.Finish(), 0);
  EXPECT_EQ(CodeOf([&] { h.OpenFile(); }), 0);
}

TEST_F(CrossProcessTest, ExclusiveOpenHereKeepsTheOtherProcessOut) {
  TFileHandler h;
  h.SetName(Path("T.DAT"));
  h.SetExclusive(true);
  // The child is started before the open so that it does not inherit it.
  ChildProcess child([&](ChildProcess& self) {
    self.Await();
    return HoldOpen(self, false);
  });
  h.OpenFile();
  child.Tell();
  EXPECT_EQ(child.Await(), 'e');
  child.Tell();
  EXPECT_EQ(child.Finish(), 1);
}

TEST_F(CrossProcessTest, ByteRangeLocksExcludeOtherProcessesUntilReleased) {
  const int64_t base = 4000000000LL;
  ChildProcess child([&](ChildProcess& self) {
    TFileHandler h;
    h.SetName(Path("T.DAT"));
    h.OpenFile();
    if (!h.LockRegion(base, 10)) return 2;
    self.Tell();  // locked
    self.Await();
    if (!h.UnlockRegion(base, 10)) return 3;
    self.Tell();  // unlocked
    self.Await();
    if (!h.LockRegion(base + 100, 1)) return 4;
    self.Tell();  // locked again, and exits holding it
    self.Await();
    return 0;
  });
  TFileHandler h;
  h.SetName(Path("T.DAT"));
  ASSERT_EQ(child.Await(), 'x');
  h.OpenFile();
  EXPECT_FALSE(h.LockRegion(base, 10));
  EXPECT_FALSE(h.LockRegion(base + 9, 1));
  EXPECT_FALSE(h.LockRegion(base - 1, 2));
  EXPECT_TRUE(h.LockRegion(base + 10, 1));  // next to it
  EXPECT_TRUE(h.UnlockRegion(base + 10, 1));
  child.Tell();
  ASSERT_EQ(child.Await(), 'x');
  EXPECT_TRUE(h.LockRegion(base, 10));
  EXPECT_TRUE(h.UnlockRegion(base, 10));
  child.Tell();
  ASSERT_EQ(child.Await(), 'x');
  EXPECT_FALSE(h.LockRegion(base + 100, 1));
  EXPECT_EQ(child.Finish(), 0);
  // The lock of a process that has ended is gone.
  EXPECT_TRUE(h.LockRegion(base + 100, 1));
}

TEST_F(CrossProcessTest, TemporaryFileOpenedByTwoProcessesGoesWithTheLastClose) {
  ChildProcess child([&](ChildProcess& self) {
    TFileHandler h;
    h.SetName(Path("T.DAT"));
    h.SetTemporary(true);
    h.OpenFile();
    self.Tell();
    self.Await();
    h.CloseFile();
    return 0;
  });
  ASSERT_EQ(child.Await(), 'x');
  TFileHandler h;
  h.SetName(Path("T.DAT"));
  h.SetTemporary(true);
  h.OpenFile();
  h.CloseFile();
  EXPECT_TRUE(h.FileExists());  // still in use by the child
  EXPECT_EQ(child.Finish(), 0);
  EXPECT_FALSE(h.FileExists());
}

}  // namespace
}  // namespace ficha
