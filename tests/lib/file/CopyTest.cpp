#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/ErrorCodes.h"
#include "lib/file/FileHandler.h"
#include "lib/file/FileList.h"
#include "tests/lib/file/FileTestSupport.h"

namespace ficha {
namespace {

void Record(void* argument, int percent) {
  static_cast<std::vector<int>*>(argument)->push_back(percent);
}

std::string Pattern(int64_t size) {
  std::string s(static_cast<size_t>(size), '\0');
  for (int64_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 65536) % 26);
  return s;
}

class CopyTest : public ScratchDir, public ::testing::WithParamInterface<bool> {
 protected:
  // A handler on name, of the kind under test; memory names are made unique.
  void Prepare(TFileHandler* h, const std::string& name) {
    h->SetInMemory(GetParam());
    h->SetName(GetParam() ? dir_ + "#" + name : Path(name));
  }
  void Make(const std::string& name, const std::string& content) {
    TFileHandler h;
    Prepare(&h, name);
    h.CreateNewFile();
    if (!content.empty()) h.WriteData(content.data(), static_cast<int64_t>(content.size()));
  }
  std::string Content(const std::string& name) {
    TFileHandler h;
    Prepare(&h, name);
    h.OpenFile();
    std::string s(static_cast<size_t>(h.GetFileSize()), '\0');
    if (!s.empty()) h.ReadData(s.data(), static_cast<int64_t>(s.size()), false);
    return s;
  }
};

TEST_P(CopyTest, ProgressFollowsTheStepRule) {
  struct Case {
    int64_t size;
    int step;
    std::vector<int> calls;
  };
  const Case cases[] = {
      {0, 1, {}},                      // empty: never called
      {10 * 65536, 25, {30, 60, 90}},  // 10% a block
      {10 * 65536, 10, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}},
      {2 * 65536, 1, {50, 100}},  // exact multiple
      {65536 + 10, 200, {}},      // step never reached
      {3 * 65536 + 1, 0, {33, 66, 99, 100}},
  };
  for (const Case& c : cases) {
    std::string content = Pattern(c.size);
    Make("SRC", content);
    TFileHandler src;
    Prepare(&src, "SRC");
    src.OpenFile();
    std::vector<int> calls;
    src.CopyToFile(GetParam() ? dir_ + "#DST" : Path("DST"), c.step, Record, &calls);
    EXPECT_EQ(calls, c.calls) << c.size << " step " << c.step;
    src.CloseFile();
    EXPECT_EQ(Content("DST"), content) << c.size;
  }
}

TEST_P(CopyTest, CopyWithoutCallbackAndIntoAnOpenFile) {
  Make("SRC", "source");
  TFileHandler src, busy;
  Prepare(&src, "SRC");
  src.OpenFile();
  src.CopyToFile(GetParam() ? dir_ + "#DST" : Path("DST"), 10, nullptr, nullptr);
  EXPECT_EQ(Content("DST"), "source");
  Prepare(&busy, "DST");
  busy.OpenFile();
  EXPECT_EQ(CodeOf([&] { src.CopyToFile(busy.Name(), 1, nullptr, nullptr); }), FICHA_OSEACCES);
  // Onto itself: the source is open.
  EXPECT_EQ(CodeOf([&] { src.CopyToFile(src.Name(), 1, nullptr, nullptr); }), FICHA_OSEACCES);
}

TEST_P(CopyTest, CopyFromOverwritesFromTheStartAndKeepsTheTail) {
  Make("OLD", "0123456789");
  Make("NEW", "abc");
  TFileHandler target;
  Prepare(&target, "OLD");
  target.OpenFile();
  std::vector<int> calls;
  TFileHandler named;
  Prepare(&named, "NEW");
  target.CopyFromFile(named.Name(), 50, Record, &calls);
  EXPECT_EQ(calls, std::vector<int>{100});
  target.CloseFile();
  EXPECT_EQ(Content("OLD"), "abc3456789");
  // The source is opened exclusively: it must not be in use.
  target.OpenFile();
  named.OpenFile();
  EXPECT_EQ(CodeOf([&] { target.CopyFromFile(named.Name(), 1, nullptr, nullptr); }),
            FICHA_OSEACCES);
  named.CloseFile();
  TFileHandler missing;
  Prepare(&missing, "MISSING");
  EXPECT_EQ(CodeOf([&] { target.CopyFromFile(missing.Name(), 1, nullptr, nullptr); }),
            FICHA_OSENOENT);
}

TEST_P(CopyTest, CopiesDoNothingWithoutAHandle) {
  TFileHandler h;
  Prepare(&h, "NOPE");
  h.CopyToFile(GetParam() ? dir_ + "#X" : Path("X"), 1, nullptr, nullptr);
  h.CopyFromFile(GetParam() ? dir_ + "#X" : Path("X"), 1, nullptr, nullptr);
  TFileHandler x;
  Prepare(&x, "X");
  EXPECT_FALSE(x.FileExists());
}

INSTANTIATE_TEST_SUITE_P(Kinds, CopyTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Memory" : "Disk"; });

}  // namespace
}  // namespace ficha
