#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "common/ErrorCodes.h"
#include "lib/file/FileHandler.h"
#include "lib/file/FileList.h"
#include "lib/file/OsError.h"
#include "lib/file/PhysicalFile.h"
#include "tests/lib/file/FileTestSupport.h"

namespace ficha {
namespace {

class DiskFileTest : public ScratchDir {
 protected:
  // A handler on name in the scratch directory, with the given requests.
  void Prepare(TFileHandler* h, const std::string& name, bool exclusive = false,
               bool temporary = false) {
    h->SetName(Path(name));
    h->SetExclusive(exclusive);
    h->SetTemporary(temporary);
  }
  void WriteOsFile(const std::string& name, const std::string& content) {
    std::ofstream(OsPath(name), std::ios::binary) << content;
  }
  std::string ReadOsFile(const std::string& name) {
    std::ifstream in(OsPath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool OsExists(const std::string& name) {
    struct stat st;
    return stat(OsPath(name).c_str(), &st) == 0;
  }
};

TEST_F(DiskFileTest, OpeningAMissingFileRaises11010NamingIt) {
  TFileHandler h;
  Prepare(&h, "NADA.DAT");
  try {
    h.OpenFile();
    FAIL() << "opened a missing file";
  } catch (const EFichaEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), FICHA_OSENOENT);
    EXPECT_EQ(e.ErrorTableName(), Path("NADA.DAT"));
    EXPECT_NE(e.Message().find("does not exist"), std::string::npos);
  }
  EXPECT_FALSE(h.IsOpen());
  EXPECT_EQ(h.HandleId(), 0);
}

TEST_F(DiskFileTest, CreateWriteReadSeekAndSize) {
  TFileHandler h;
  Prepare(&h, "T.DAT");
  h.CreateNewFile();
  ASSERT_TRUE(h.IsOpen());
  EXPECT_GT(h.HandleId(), 0);
  h.WriteData("abcdefgh", 8);
  EXPECT_EQ(h.GetFileSize(), 8);
  EXPECT_EQ(h.SeekTo(1, 0), 8);  // the size did not move the position
  EXPECT_EQ(h.SeekTo(0, 2), 2);
  char buf[8] = {};
  EXPECT_EQ(h.ReadData(buf, 3, false), 3);
  EXPECT_EQ(std::string(buf, 3), "cde");
  EXPECT_EQ(h.SeekTo(1, 1), 6);
  EXPECT_EQ(h.ReadData(buf, 2, false), 2);
  EXPECT_EQ(std::string(buf, 2), "gh");
  EXPECT_EQ(h.SeekTo(2, 0), 8);
  h.FlushData();
  // A write past the end leaves zeros in the gap; a write of 0 bytes truncates.
  h.SeekTo(0, 12);
  h.WriteData("Z", 1);
  EXPECT_EQ(h.GetFileSize(), 13);
  h.SeekTo(0, 4);
  h.WriteData(nullptr, 0);
  h.CloseFile();
  EXPECT_EQ(ReadOsFile("T.DAT"), "abcd");
}

TEST_F(DiskFileTest, ShortReadsRaiseUnlessAllowed) {
  WriteOsFile("R.DAT", "12345");
  TFileHandler h;
  Prepare(&h, "R.DAT");
  h.OpenFile();
  char buf[16];
  h.SeekTo(0, 3);
  EXPECT_EQ(CodeOf([&] { h.ReadData(buf, 10, false); }), FICHA_READERR);
  h.SeekTo(0, 3);
  EXPECT_EQ(h.ReadData(buf, 10, true), 2);
  EXPECT_EQ(h.ReadData(buf, 10, true), 0);  // at the end
  h.SeekTo(0, 100);
  EXPECT_EQ(h.ReadData(buf, 1, true), 0);  // past the end
  EXPECT_EQ(CodeOf([&] { h.SeekTo(0, -1); }), FICHA_READERR);
}

TEST_F(DiskFileTest, ClosedHandlerRefusesTransfersAndLocks) {
  TFileHandler h;
  Prepare(&h, "C.DAT");
  char buf[4] = {};
  EXPECT_EQ(CodeOf([&] { h.ReadData(buf, 1, true); }), FICHA_READERR);
  EXPECT_EQ(CodeOf([&] { h.WriteData(buf, 1); }), FICHA_WRITEERR);
  EXPECT_FALSE(h.LockRegion(0, 1));
  EXPECT_FALSE(h.UnlockRegion(0, 1));
  EXPECT_EQ(h.SeekTo(0, 5), 0);
  EXPECT_EQ(h.GetFileSize(), 0);
  h.FlushData();  // nothing to flush
  h.CloseFile();  // never raises
  h.CreateNewFile();
  h.CloseFile();
  EXPECT_FALSE(h.LockRegion(0, 1));
}

TEST_F(DiskFileTest, HandlersShareOneOpenFile) {
  size_t before = FileList().Count();
  TFileHandler a, b;
  Prepare(&a, "S.DAT");
  a.CreateNewFile();
  a.WriteData("hello", 5);
  a.CloseFile();
  Prepare(&b, "S.DAT");
  a.OpenFile();
  b.OpenFile();
  ASSERT_EQ(a.File(), b.File());
  EXPECT_NE(a.HandleId(), b.HandleId());
  EXPECT_EQ(a.File()->OpenCount(), 2);
  int fd = static_cast<TPhysicalFile*>(a.File())->Descriptor();
  EXPECT_GT(fd, 0);
  EXPECT_EQ(FileList().Count(), before + 1);
  // One file position for all handles, as on the operating system.
  a.SeekTo(0, 1);
  char c;
  b.ReadData(&c, 1, false);
  EXPECT_EQ(c, 'e');
  a.CloseFile();
  char rest[3];
  b.ReadData(rest, 3, false);
  EXPECT_EQ(std::string(rest, 3), "llo");
  b.CloseFile();
  EXPECT_EQ(FileList().Count(), before);
  EXPECT_EQ(fcntl(fd, F_GETFD), -1);  // the descriptor is closed
}

TEST_F(DiskFileTest, ExclusiveUseWithinTheProcess) {
  WriteOsFile("X.DAT", "x");
  TFileHandler shared, other;
  Prepare(&shared, "X.DAT");
  Prepare(&other, "X.DAT", /*exclusive=*/true);
  shared.OpenFile();
  EXPECT_EQ(CodeOf([&] { other.OpenFile(); }), FICHA_OSEACCES);
  EXPECT_FALSE(other.IsOpen());
  // Create, rename and delete of an open file are refused too.
  TFileHandler third;
  Prepare(&third, "X.DAT");
  EXPECT_EQ(CodeOf([&] { third.CreateNewFile(); }), FICHA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { third.RenameFile(Path("Y.DAT")); }), FICHA_OSEACCES);
  EXPECT_EQ(third.Name(), Path("X.DAT"));  // old name kept
  EXPECT_EQ(CodeOf([&] { third.RemoveFile(); }), FICHA_OSEACCES);
  shared.CloseFile();

  other.OpenFile();
  EXPECT_TRUE(other.File()->Exclusive());
  EXPECT_EQ(CodeOf([&] { shared.OpenFile(); }), FICHA_OSEACCES);
  other.CloseFile();
  shared.OpenFile();
  EXPECT_TRUE(shared.IsOpen());
}

TEST_F(DiskFileTest, NamesDifferingInCaseSeparatorsOrBlanksAreOneFile) {
  mkdir(OsPath("Dados").c_str(), 0777);
  TFileHandler a, b, c;
  a.SetName(Path("Dados/Tabela.DAT"));
  a.CreateNewFile();
  a.WriteData("abc", 3);
  a.CloseFile();  // a created file is in exclusive use until closed
  a.OpenFile();
  b.SetName("  " + OsPath("DADOS/TABELA.dat") + " ");
  b.OpenFile();
  EXPECT_EQ(a.File(), b.File());
  a.CloseFile();
  b.CloseFile();
  // Resolved on disk after the list has forgotten the file.
  c.SetName(Path("dados\\tabela.dat"));
  EXPECT_TRUE(c.FileExists());
  c.OpenFile();
  char buf[3];
  c.ReadData(buf, 3, false);
  EXPECT_EQ(std::string(buf, 3), "abc");
  c.CloseFile();
  // Creating under another case reuses the entry rather than adding one.
  c.SetName(Path("DADOS\\TABELA.DAT"));
  c.CreateNewFile();
  c.CloseFile();
  EXPECT_TRUE(OsExists("Dados/Tabela.DAT"));
  EXPECT_FALSE(OsExists("Dados/TABELA.DAT"));
  EXPECT_EQ(ReadOsFile("Dados/Tabela.DAT"), "");
}

TEST_F(DiskFileTest, ReadOnlyAttributeOpensReadOnly) {
  WriteOsFile("RO.DAT", "data");
  chmod(OsPath("RO.DAT").c_str(), 0444);
  TFileHandler h;
  Prepare(&h, "RO.DAT");
  h.OpenFile();
  EXPECT_TRUE(h.ReadOnly());
  EXPECT_TRUE(h.ReadOnlyAttribute());
  EXPECT_EQ(CodeOf([&] { h.WriteData("x", 1); }), FICHA_WRITEERR);
  char buf[4];
  EXPECT_EQ(h.ReadData(buf, 4, false), 4);
  // Locks still work on a read-only file.
  EXPECT_TRUE(h.LockRegion(4000000000LL, 1));
  EXPECT_TRUE(h.UnlockRegion(4000000000LL, 1));
  h.CloseFile();

  WriteOsFile("RW.DAT", "data");
  Prepare(&h, "RW.DAT");
  h.OpenFile();
  EXPECT_FALSE(h.ReadOnly());
  EXPECT_FALSE(h.ReadOnlyAttribute());
}

// Sets or clears the immutable flag of path; false where the file system or
// the process cannot.
bool SetImmutable(const std::string& path, bool on) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return ok;
}

// A file that refuses writing although its mode allows it (as on read-only
// media): the open falls back to reading and reports only the read-only flag.
TEST_F(DiskFileTest, FileThatCannotBeWrittenOpensReadOnlyWithoutTheAttribute) {
  WriteOsFile("MEDIA.DAT", "data");
  if (!SetImmutable(OsPath("MEDIA.DAT"), true)) GTEST_SKIP() << "no immutable files here";
  TFileHandler h;
  Prepare(&h, "MEDIA.DAT");
  int code = CodeOf([&] { h.OpenFile(); });
  bool read_only = h.ReadOnly(), attribute = h.ReadOnlyAttribute();
  char buf[4] = {};
  int64_t n = code == 0 ? h.ReadData(buf, 4, true) : -1;
  int write_code = CodeOf([&] { h.WriteData("x", 1); });
  // The locking protocol still works on such a file.
  bool locked = h.LockRegion(4000000000LL, 1);
  bool unlocked = h.UnlockRegion(4000000000LL, 1);
  h.CloseFile();
  SetImmutable(OsPath("MEDIA.DAT"), false);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(read_only);
  EXPECT_FALSE(attribute);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(write_code, FICHA_WRITEERR);
  EXPECT_TRUE(locked);
  EXPECT_TRUE(unlocked);
}

// A close naming a handle the file never gave out must not take the file from
// its real users.
TEST_F(DiskFileTest, ClosingAnUnknownHandleLeavesTheFileOpen) {
  WriteOsFile("K.DAT", "keep");
  TFileHandler a, b;
  Prepare(&a, "K.DAT");
  Prepare(&b, "K.DAT");
  a.OpenFile();
  b.OpenFile();
  TAbstractFile* file = a.File();
  EXPECT_EQ(FileList().Close(file, false, 9999), 0);
  EXPECT_EQ(file->OpenCount(), 2);
  a.CloseFile();
  ASSERT_EQ(file->OpenCount(), 1);
  char buf[4];
  EXPECT_EQ(b.ReadData(buf, 4, false), 4);
  EXPECT_EQ(std::string(buf, 4), "keep");
}

TEST_F(DiskFileTest, TemporaryFiles) {
  // Created as temporary: left for its owner to delete.
  TFileHandler created;
  Prepare(&created, "TMPC.DAT", false, /*temporary=*/true);
  created.CreateNewFile();
  created.CloseFile();
  EXPECT_TRUE(OsExists("TMPC.DAT"));
  created.RemoveFile();
  EXPECT_FALSE(OsExists("TMPC.DAT"));

  // Opened as temporary: gone at its last close.
  WriteOsFile("TMPO.DAT", "x");
  TFileHandler a, b;
  Prepare(&a, "TMPO.DAT", false, true);
  Prepare(&b, "TMPO.DAT");
  a.OpenFile();
  b.OpenFile();
  a.CloseFile();
  EXPECT_TRUE(OsExists("TMPO.DAT"));
  b.CloseFile();
  EXPECT_FALSE(OsExists("TMPO.DAT"));
}

TEST_F(DiskFileTest, RenameAndDelete) {
  WriteOsFile("A.DAT", "aaa");
  WriteOsFile("B.DAT", "bbb");
  TFileHandler h;
  Prepare(&h, "A.DAT");
  // Never replaces an existing file.
  try {
    h.RenameFile(Path("b.dat"));
    FAIL() << "renamed onto an existing file";
  } catch (const EFichaEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), FICHA_OSUNKNOWN);
    EXPECT_EQ(e.OSErrorCode(), EEXIST);
  }
  EXPECT_EQ(ReadOsFile("B.DAT"), "bbb");
  EXPECT_EQ(h.Name(), Path("A.DAT"));
  // Onto a file open in this process.
  TFileHandler open_b;
  Prepare(&open_b, "B.DAT");
  open_b.OpenFile();
  EXPECT_EQ(CodeOf([&] { h.RenameFile(Path("B.DAT")); }), FICHA_OSEACCES);
  open_b.CloseFile();
  h.RenameFile(Path("C.DAT"));
  EXPECT_EQ(h.Name(), Path("C.DAT"));
  EXPECT_EQ(ReadOsFile("C.DAT"), "aaa");
  EXPECT_FALSE(OsExists("A.DAT"));
  // A change of case only.
  h.RenameFile(Path("c.dat"));
  EXPECT_TRUE(OsExists("c.dat"));
  EXPECT_FALSE(OsExists("C.DAT"));
  h.RemoveFile();
  EXPECT_FALSE(h.FileExists());
  EXPECT_EQ(CodeOf([&] { h.RemoveFile(); }), FICHA_OSENOENT);
  EXPECT_EQ(CodeOf([&] { h.RenameFile(Path("D.DAT")); }), FICHA_OSENOENT);
  // A directory is not a file.
  mkdir(OsPath("DIR.DAT").c_str(), 0777);
  Prepare(&h, "DIR.DAT");
  EXPECT_FALSE(h.FileExists());
  EXPECT_NE(CodeOf([&] { h.RemoveFile(); }), 0);
  EXPECT_NE(CodeOf([&] { h.OpenFile(); }), 0);
}

TEST_F(DiskFileTest, LocksWithinTheProcess) {
  TFileHandler a, b;
  Prepare(&a, "L.DAT");
  Prepare(&b, "L.DAT");
  a.CreateNewFile();
  a.CloseFile();
  a.OpenFile();
  b.OpenFile();
  const int64_t base = 4000000000LL;
  EXPECT_TRUE(a.LockRegion(base, 10));
  EXPECT_FALSE(a.LockRegion(base, 10));     // the same handle
  EXPECT_FALSE(b.LockRegion(base + 9, 5));  // the other handle, overlapping the end
  EXPECT_FALSE(b.LockRegion(base - 5, 6));  // overlapping the start
  EXPECT_TRUE(b.LockRegion(base + 10, 5));  // adjacent
  EXPECT_FALSE(a.UnlockRegion(base, 5));    // not the exact range
  EXPECT_TRUE(a.UnlockRegion(base, 10));
  EXPECT_FALSE(a.UnlockRegion(base, 10));  // already released
  EXPECT_TRUE(b.LockRegion(base, 10));
  EXPECT_FALSE(a.LockRegion(base, 0));  // empty ranges lock nothing
  EXPECT_FALSE(a.LockRegion(-1, 1));
}

TEST_F(DiskFileTest, AccessBracketsAreReentrant) {
  TFileHandler h;
  Prepare(&h, "BA.DAT");
  h.CreateNewFile();
  h.BeginAccess();
  h.BeginAccess();
  h.SeekTo(0, 0);
  h.WriteData("x", 1);
  h.EndAccess();
  h.EndAccess();
  EXPECT_EQ(h.GetFileSize(), 1);
}

TEST(OsErrorTest, ErrnoValuesMapToEngineCodes) {
  struct Case {
    int os, code;
  };
  const Case cases[] = {{ENOENT, 11010}, {EACCES, 11013}, {EPERM, 11013},  {EWOULDBLOCK, 11013},
                        {EMFILE, 11012}, {EBADF, 11014},  {ENOMEM, 11016}, {EXDEV, 11025},
                        {EEXIST, 11047}, {EIO, 11047},    {ENOSPC, 11047}};
  for (const Case& c : cases) EXPECT_EQ(MapOsError(c.os), c.code) << c.os;
}

}  // namespace
}  // namespace ficha
