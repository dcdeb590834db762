// Randomized inserts and deletes in every leaf compression, ascending and
// descending, unique and non-unique; the whole tree is checked after every
// batch and compared with a model. FICHA_STRESS=1 runs a much longer test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "IndexTestUtil.h"
#include "engine/index/IndexChecker.h"

namespace ficha {
namespace {

struct StressCase {
  int compression;
  bool descending;
  bool unique;
};

class BTreeStressTest : public IndexFileFixture,
                        public ::testing::WithParamInterface<StressCase> {};

std::string Describe(const ::testing::TestParamInfo<StressCase>& info) {
  return "c" + std::to_string(info.param.compression) + (info.param.descending ? "Desc" : "Asc") +
         (info.param.unique ? "Unique" : "Dup");
}

// Every leaf entry from the leftmost leaf along the next links.
std::vector<std::vector<uint8_t>> LeafKeys(TIndexFile& file, int index) {
  std::vector<std::vector<uint8_t>> keys;
  int32_t p = file.RootPage(index);
  if (p == 0) return keys;
  TPage* page = nullptr;
  file.GetPage(nullptr, index, p, &page);
  while (!page->IsLeaf()) {
    const int32_t child = page->Value(1);
    file.ReleasePage(page);
    file.GetPage(nullptr, index, child, &page);
  }
  for (;;) {
    for (int i = 1; i <= page->Count(); ++i)
      keys.emplace_back(page->Key(i), page->Key(i) + page->KeySize());
    const int32_t next = page->Next();
    file.ReleasePage(page);
    if (next == 0) break;
    file.GetPage(nullptr, index, next, &page);
  }
  return keys;
}

TEST_P(BTreeStressTest, RandomInsertsAndDeletesKeepTheTreeSound) {
  const StressCase c = GetParam();
  const bool long_run = std::getenv("FICHA_STRESS") != nullptr;
  const int batches = long_run ? 60 : 6;
  const int ops_per_batch = long_run ? 5000 : 1500;
  // Wide keys keep pages small, so that the trees get several inner levels.
  const int k = 100;
  file_->DefinePrimaryIndex(Def("", 10));
  file_->AddSecondaryIndex(Def("STRESS", k, c.unique, c.compression, c.descending));
  const int index = 1;
  const TKeyDescriptor& keys = file_->Keys(index);
  auto less = [&keys](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return keys.Compare(a.data(), b.data()) < 0;
  };
  std::set<std::vector<uint8_t>, decltype(less)> model(less);
  std::mt19937 rng(1234u + static_cast<unsigned>(c.compression * 4 + c.descending * 2 + c.unique));
  std::vector<std::vector<uint8_t>> present;  // the model's keys, unordered
  uint32_t next_row = 1;
  auto make_key = [&]() {
    // Few distinct values with shared prefixes and zero runs, so that every
    // compression has something to do; non-unique keys end in a row id.
    std::vector<uint8_t> key(k, 0);
    const uint32_t v = rng() % (c.unique ? 1000000u : 300u);
    key[0] = 'K';
    key[1] = static_cast<uint8_t>(v >> 16);
    key[2] = static_cast<uint8_t>(v >> 8);
    key[3] = static_cast<uint8_t>(v);
    if (rng() % 3 == 0) key[4] = static_cast<uint8_t>(rng());
    if (!c.unique) {
      const uint32_t row = next_row++;
      key[k - 4] = static_cast<uint8_t>(row >> 24);
      key[k - 3] = static_cast<uint8_t>(row >> 16);
      key[k - 2] = static_cast<uint8_t>(row >> 8);
      key[k - 1] = static_cast<uint8_t>(row);
    }
    return key;
  };
  int deepest = 0;
  for (int batch = 0; batch < batches; ++batch) {
    // Grow in the first half, shrink towards empty in the second.
    const int insert_percent = batch < batches / 2 ? 70 : 25;
    for (int op = 0; op < ops_per_batch; ++op) {
      if (model.empty() || static_cast<int>(rng() % 100) < insert_percent) {
        std::vector<uint8_t> key = make_key();
        if (!model.insert(key).second) continue;
        present.push_back(key);
        file_->InsertKey(index, key.data(), static_cast<int32_t>(model.size()));
      } else {
        // Pick a random present key in constant time.
        const size_t at = rng() % present.size();
        std::swap(present[at], present.back());
        file_->DeleteKey(index, present.back().data());
        model.erase(present.back());
        present.pop_back();
      }
    }
    SCOPED_TRACE("batch " + std::to_string(batch));
    const TIndexCheckResult check = TIndexChecker(file_.get()).CheckFile();
    ASSERT_TRUE(check.Ok()) << check.problems.front();
    ASSERT_EQ(check.keys, static_cast<int64_t>(model.size()));
    deepest = std::max(deepest, check.depth);
    ASSERT_EQ(file_->KeyCount(index), static_cast<int64_t>(model.size()));
    const std::vector<std::vector<uint8_t>> leaf_keys = LeafKeys(*file_, index);
    ASSERT_TRUE(std::equal(leaf_keys.begin(), leaf_keys.end(), model.begin(), model.end()));
    // Every other batch goes through the disk images.
    if (batch % 2 == 1) Cycle();
  }
  EXPECT_GE(deepest, c.compression == 0 ? 3 : 2);
  // Empty the index completely: the root returns to 0 and all pages are free.
  while (!model.empty()) {
    file_->DeleteKey(index, model.begin()->data());
    model.erase(model.begin());
  }
  EXPECT_EQ(file_->RootPage(index), 0);
  const TIndexCheckResult check = TIndexChecker(file_.get()).CheckFile();
  EXPECT_TRUE(check.Ok());
  EXPECT_EQ(check.pages, 0);
  EXPECT_EQ(check.free_pages, file_->NextPageNumber() - 1);
}

std::vector<StressCase> AllCases() {
  std::vector<StressCase> cases;
  for (int compression = 0; compression <= 3; ++compression)
    for (bool descending : {false, true})
      for (bool unique : {true, false}) cases.push_back({compression, descending, unique});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllModes, BTreeStressTest, ::testing::ValuesIn(AllCases()), Describe);

}  // namespace
}  // namespace ficha
