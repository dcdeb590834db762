// Threads sharing one file through their own handlers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "lib/file/FileHandler.h"
#include "tests/lib/file/FileTestSupport.h"

namespace ficha {
namespace {

class ThreadsTest : public ScratchDir {};

// Each thread opens, writes its own records with seek-then-write pairs
// inside access brackets, and closes again; the one shared position must
// never let a write land in another thread's record.
TEST_F(ThreadsTest, AccessBracketsKeepSeekAndTransferTogether) {
  {
    TFileHandler h;
    h.SetName(Path("MT.DAT"));
    h.CreateNewFile();
  }
  constexpr int kThreads = 4, kRounds = 300, kRecord = 16;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        TFileHandler h;
        h.SetName(Path("MT.DAT"));
        if (CodeOf([&] { h.OpenFile(); }) != 0) {
          ++failures[t];
          continue;
        }
        int slot = round * kThreads + t;
        char record[kRecord];
        std::memset(record, 'a' + t, kRecord);
        h.BeginAccess();
        h.SeekTo(0, int64_t{slot} * kRecord);
        h.WriteData(record, kRecord);
        h.EndAccess();
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
  TFileHandler h;
  h.SetName(Path("MT.DAT"));
  h.OpenFile();
  ASSERT_EQ(h.GetFileSize(), int64_t{kThreads} * kRounds * kRecord);
  std::string all(static_cast<size_t>(h.GetFileSize()), '\0');
  h.ReadData(all.data(), static_cast<int64_t>(all.size()), false);
  for (size_t i = 0; i < all.size(); ++i) {
    ASSERT_EQ(all[i], 'a' + static_cast<int>((i / kRecord) % kThreads)) << i;
  }
}

}  // namespace
}  // namespace ficha
