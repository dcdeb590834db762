#include "lib/file/MemoryFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/ErrorCodes.h"
#include "lib/file/FileHandler.h"
#include "lib/file/FileList.h"
#include "tests/lib/file/FileTestSupport.h"

namespace ficha {
namespace {

// In-memory files live for the whole test program: each test uses its own
// names.
std::string MemName(const std::string& name) {
  return std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "." + name;
}

void PrepareMemory(TFileHandler* h, const std::string& name, bool temporary = false) {
  h->SetInMemory(true);
  h->SetName(MemName(name));
  h->SetTemporary(temporary);
}

TEST(MemoryFileTest, MissingFileRaises11010) {
  TFileHandler h;
  PrepareMemory(&h, "NONE");
  EXPECT_FALSE(h.FileExists());
  EXPECT_EQ(CodeOf([&] { h.OpenFile(); }), FICHA_OSENOENT);
  EXPECT_EQ(CodeOf([&] { h.RemoveFile(); }), FICHA_OSENOENT);
  EXPECT_EQ(CodeOf([&] { h.RenameFile("x"); }), FICHA_OSENOENT);
}

TEST(MemoryFileTest, ReadWriteAtAndAcrossTheEnd) {
  TFileHandler h;
  PrepareMemory(&h, "RW");
  h.CreateNewFile();
  h.WriteData("abcdef", 6);
  char buf[16] = {};
  h.SeekTo(0, 4);
  EXPECT_EQ(h.ReadData(buf, 10, true), 2);  // across the end
  EXPECT_EQ(std::string(buf, 2), "ef");
  EXPECT_EQ(h.SeekTo(1, 0), 6);  // moved to the end
  EXPECT_EQ(h.ReadData(buf, 1, true), 0);
  h.SeekTo(0, 9);
  EXPECT_EQ(h.ReadData(buf, 1, true), 0);  // past the end
  EXPECT_EQ(CodeOf([&] { h.ReadData(buf, 1, false); }), FICHA_READERR);
  // Writing past the end leaves zeros in the gap.
  h.SeekTo(0, 9);
  h.WriteData("Z", 1);
  EXPECT_EQ(h.GetFileSize(), 10);
  h.SeekTo(0, 0);
  ASSERT_EQ(h.ReadData(buf, 10, false), 10);
  EXPECT_EQ(std::string(buf, 10), std::string("abcdef\0\0\0Z", 10));
  // A write of 0 bytes truncates; growing again shows zeros, not old bytes.
  h.SeekTo(0, 2);
  h.WriteData(nullptr, 0);
  EXPECT_EQ(h.GetFileSize(), 2);
  h.SeekTo(0, 5);
  h.WriteData(nullptr, 0);
  EXPECT_EQ(h.GetFileSize(), 5);
  h.SeekTo(0, 0);
  ASSERT_EQ(h.ReadData(buf, 5, false), 5);
  EXPECT_EQ(std::string(buf, 5), std::string("ab\0\0\0", 5));
}

// A count far beyond the end (up to the largest one) reads what is there.
TEST(MemoryFileTest, HugeCountsStopAtTheEnd) {
  TFileHandler h;
  PrepareMemory(&h, "HUGE");
  h.CreateNewFile();
  h.WriteData("abcdef", 6);
  char buf[8] = {};
  h.SeekTo(0, 1);
  EXPECT_EQ(h.ReadData(buf, INT64_MAX, true), 5);
  EXPECT_EQ(std::string(buf, 5), "bcdef");
  EXPECT_EQ(h.SeekTo(1, 0), 6);
  // A write that cannot be held is refused, and the file is unchanged.
  h.SeekTo(0, INT64_MAX - 10);
  EXPECT_EQ(CodeOf([&] { h.WriteData("x", 1); }), FICHA_WRITEERR);
  EXPECT_EQ(CodeOf([&] { h.WriteData(nullptr, 0); }), FICHA_WRITEERR);
  EXPECT_EQ(h.GetFileSize(), 6);
}

TEST(MemoryFileTest, BufferGrowsInSteps) {
  TFileHandler h;
  PrepareMemory(&h, "GROW");
  h.CreateNewFile();
  auto* file = static_cast<TMemoryFile*>(h.File());
  EXPECT_EQ(file->Capacity(), 0);
  h.WriteData("x", 1);
  EXPECT_EQ(file->Capacity(), 4096);
  h.SeekTo(0, 4096);
  h.WriteData("x", 1);
  EXPECT_EQ(file->Capacity(), 8192);
  h.SeekTo(0, 100);
  h.WriteData(nullptr, 0);
  EXPECT_EQ(file->Capacity(), 8192);  // never shrinks ...
  h.SeekTo(0, 0);
  h.WriteData(nullptr, 0);
  EXPECT_EQ(file->Capacity(), 0);  // ... except when emptied
}

TEST(MemoryFileTest, HandlesKeepTheirOwnPositions) {
  TFileHandler a, b;
  PrepareMemory(&a, "POS");
  PrepareMemory(&b, "POS");
  a.CreateNewFile();
  a.WriteData("0123456789", 10);
  a.CloseFile();
  a.OpenFile();
  a.SeekTo(0, 10);
  b.OpenFile();
  char c;
  b.ReadData(&c, 1, false);
  EXPECT_EQ(c, '0');
  EXPECT_EQ(a.SeekTo(1, 0), 10);
}

TEST(MemoryFileTest, ContentOutlivesTheLastCloseUntilDeleted) {
  TFileHandler h;
  PrepareMemory(&h, "KEEP");
  h.CreateNewFile();
  h.WriteData("kept", 4);
  h.CloseFile();
  EXPECT_TRUE(h.FileExists());
  h.OpenFile();
  char buf[4];
  ASSERT_EQ(h.ReadData(buf, 4, false), 4);
  EXPECT_EQ(std::string(buf, 4), "kept");
  EXPECT_EQ(CodeOf([&] { h.RemoveFile(); }), FICHA_OSEACCES);  // still open
  h.CloseFile();
  h.RenameFile(MemName("KEPT2"));
  EXPECT_TRUE(h.FileExists());
  h.RemoveFile();
  EXPECT_FALSE(h.FileExists());
  EXPECT_EQ(CodeOf([&] { h.OpenFile(); }), FICHA_OSENOENT);
}

TEST(MemoryFileTest, TemporaryFileIsDiscardedAtItsLastClose) {
  TFileHandler a, b;
  PrepareMemory(&a, "TMP", /*temporary=*/true);
  a.CreateNewFile();
  a.CloseFile();
  EXPECT_FALSE(a.FileExists());

  PrepareMemory(&a, "TMP2");
  a.CreateNewFile();
  a.CloseFile();
  a.SetTemporary(true);  // the first open without handles decides
  a.OpenFile();
  PrepareMemory(&b, "TMP2");
  b.OpenFile();
  a.CloseFile();
  EXPECT_TRUE(b.FileExists());
  b.CloseFile();
  EXPECT_FALSE(b.FileExists());
}

TEST(MemoryFileTest, DistinctFromTheDiskFileOfTheSameName) {
  TFileHandler mem;
  PrepareMemory(&mem, "SAME");
  mem.CreateNewFile();
  TFileHandler disk;
  disk.SetName(mem.Name());
  EXPECT_FALSE(disk.FileExists());
  EXPECT_EQ(CodeOf([&] { disk.OpenFile(); }), FICHA_OSENOENT);
}

TEST(MemoryFileTest, ExclusiveRulesAndRenameTargets) {
  TFileHandler a, b, c;
  PrepareMemory(&a, "EX");
  PrepareMemory(&b, "EX");
  a.CreateNewFile();  // a created file is in exclusive use
  EXPECT_EQ(CodeOf([&] { b.OpenFile(); }), FICHA_OSEACCES);
  a.CloseFile();
  b.OpenFile();
  a.SetExclusive(true);
  EXPECT_EQ(CodeOf([&] { a.OpenFile(); }), FICHA_OSEACCES);
  b.CloseFile();
  // Renaming onto another in-memory file would hide one of them.
  PrepareMemory(&c, "OTHER");
  c.CreateNewFile();
  c.CloseFile();
  EXPECT_NE(CodeOf([&] { a.RenameFile(c.Name()); }), 0);
  EXPECT_EQ(a.Name(), MemName("EX"));
}

TEST(MemoryFileTest, EmulatedLocks) {
  TFileHandler a, b;
  PrepareMemory(&a, "LOCK");
  PrepareMemory(&b, "LOCK");
  a.CreateNewFile();
  a.CloseFile();
  a.OpenFile();
  b.OpenFile();
  struct Case {
    TFileHandler* h;
    bool lock;
    int64_t offset, length;
    bool ok;
  };
  const Case cases[] = {
      {&a, true, 100, 10, true},  {&a, true, 100, 10, false},   // same handle
      {&b, true, 105, 1, false},  {&b, true, 90, 11, false},    // overlaps
      {&b, true, 110, 1, true},   {&b, true, 90, 10, true},     // adjacent
      {&a, false, 100, 5, false}, {&a, false, 101, 10, false},  // not exact
      {&a, false, 100, 10, true}, {&a, false, 100, 10, false}, {&b, true, 100, 10, true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    bool got = c.lock ? c.h->LockRegion(c.offset, c.length) : c.h->UnlockRegion(c.offset, c.length);
    EXPECT_EQ(got, c.ok) << "case " << i;
  }
}

}  // namespace
}  // namespace ficha
