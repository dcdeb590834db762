// Index B-tree throughput: 1,000,000 random integer keys inserted into one
// index inside a single write-back (as a transaction holds them), then each
// looked up from the root.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <random>

#include <time.h>
#include <vector>

#include "engine/data/PlainTableOwner.h"
#include "engine/index/IndexFile.h"
#include "engine/index/KeyEncoding.h"

namespace ficha {
namespace {

constexpr int kKeys = 1000000;
constexpr int kKeySize = 5;  // null byte + 32-bit integer key

// CPU seconds of this (single-threaded) process: the machine is shared, so
// wall time is noisy.
double ThreadSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void BM_InsertThenLookup(benchmark::State& state) {
  std::vector<int32_t> values(kKeys);
  std::mt19937 rng(42);
  for (int i = 0; i < kKeys; ++i) values[i] = i;
  std::shuffle(values.begin(), values.end(), rng);
  std::vector<uint8_t> keys(static_cast<size_t>(kKeys) * kKeySize);
  for (int i = 0; i < kKeys; ++i) {
    uint8_t* key = keys.data() + static_cast<size_t>(i) * kKeySize;
    key[0] = 1;
    EncodeKeyInt32(values[i] * 7 - 3500000, key + 1);
  }
  for (auto _ : state) {
    TPlainTableOwner owner("BENCH");
    TIndexFile file(&owner);
    file.SetInMemory(true);
    file.SetName("index_bench.IDX");
    file.CreateNewFile();
    TIndexDef def;
    def.key_size = kKeySize;
    def.unique = true;
    def.field_count = 1;
    def.field_numbers[0] = 1;
    file.DefinePrimaryIndex(def);

    owner.in_transaction = true;
    const double t0 = ThreadSeconds();
    for (int i = 0; i < kKeys; ++i)
      file.InsertKey(0, keys.data() + static_cast<size_t>(i) * kKeySize, i + 1);
    const double t1 = ThreadSeconds();
    std::vector<TIndexPathStep> path;
    int64_t found = 0;
    for (int i = 0; i < kKeys; ++i) {
      bool exact = false;
      file.Search(nullptr, 0, keys.data() + static_cast<size_t>(i) * kKeySize, kKeySize, &path,
                  &exact);
      found += exact;
    }
    const double t2 = ThreadSeconds();
    owner.in_transaction = false;
    file.FlushBuffers(false, false, true);
    if (found != kKeys || file.KeyCount(0) != kKeys) state.SkipWithError("keys lost");
    const double insert_s = t1 - t0;
    const double lookup_s = t2 - t1;
    state.counters["inserts_per_s"] = kKeys / insert_s;
    state.counters["lookups_per_s"] = kKeys / lookup_s;
    state.counters["pages"] = file.NextPageNumber() - 1;
    file.CloseFile();
    file.RemoveFile();
  }
}
BENCHMARK(BM_InsertThenLookup)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ficha

BENCHMARK_MAIN();
