// Record bitmaps over a table of 10,000,000 records: whole-bitmap algebra,
// counting and stepping.
#include <benchmark/benchmark.h>

#include <random>

#include "lib/bitmap/RecordsBitmap.h"

namespace ficha {
namespace {

constexpr int32_t kRecords = 10000000;

void Fill(TRecordsBitmap* b, uint32_t seed, int every) {
  b->SetSize(kRecords);
  std::mt19937 rng(seed);
  for (int32_t r = 1; r <= kRecords; ++r) {
    if (static_cast<int>(rng() % every) == 0) b->Include(r);
  }
}

const TRecordsBitmap& Half(uint32_t seed) {
  static TRecordsBitmap* a = nullptr;
  static TRecordsBitmap* b = nullptr;
  TRecordsBitmap*& slot = seed == 1 ? a : b;
  if (slot == nullptr) {
    slot = new TRecordsBitmap;
    Fill(slot, seed, 2);
  }
  return *slot;
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * (kRecords / 8));
  state.counters["records/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kRecords, benchmark::Counter::kIsRate);
}

void BM_IntersectWith(benchmark::State& state) {
  TRecordsBitmap x;
  x.Assign(Half(1));
  for (auto _ : state) {
    x.IntersectWith(Half(2));
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}
BENCHMARK(BM_IntersectWith);

void BM_UniteWith(benchmark::State& state) {
  TRecordsBitmap x;
  x.Assign(Half(1));
  for (auto _ : state) {
    x.UniteWith(Half(2));
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}
BENCHMARK(BM_UniteWith);

void BM_Invert(benchmark::State& state) {
  TRecordsBitmap x;
  x.Assign(Half(1));
  for (auto _ : state) {
    x.Invert();
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}
BENCHMARK(BM_Invert);

void BM_MemberCount(benchmark::State& state) {
  const TRecordsBitmap& x = Half(1);
  for (auto _ : state) benchmark::DoNotOptimize(x.MemberCount());
  SetBytes(state);
}
BENCHMARK(BM_MemberCount);

void BM_MembersBeforeLast(benchmark::State& state) {
  const TRecordsBitmap& x = Half(1);
  for (auto _ : state) benchmark::DoNotOptimize(x.MembersBefore(kRecords));
  SetBytes(state);
}
BENCHMARK(BM_MembersBeforeLast);

// Walks a whole bitmap one member at a time; the argument is the average gap
// between members (1 in 10,000 is a selective filter).
void BM_StepForward(benchmark::State& state) {
  TRecordsBitmap x;
  Fill(&x, 3, static_cast<int>(state.range(0)));
  int64_t members = 0;
  for (auto _ : state) {
    int32_t p = 0, c = 0;
    while (x.NextMembers(&p, 1, &c)) ++members;
    benchmark::DoNotOptimize(c);
  }
  SetBytes(state);
  state.counters["members/s"] =
      benchmark::Counter(static_cast<double>(members), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StepForward)->Arg(10000)->Arg(100)->Arg(2);

void BM_StepBackward(benchmark::State& state) {
  TRecordsBitmap x;
  Fill(&x, 4, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    int32_t p = kRecords + 1, c = 0;
    while (x.PriorMembers(&p, 1, &c)) {
    }
    benchmark::DoNotOptimize(c);
  }
  SetBytes(state);
}
BENCHMARK(BM_StepBackward)->Arg(10000);

}  // namespace
}  // namespace ficha

BENCHMARK_MAIN();
