// Data file throughput: sequential reads through the record cache and
// appends, with records of 99 bytes (an autoincrement, a 60-character
// string, an integer, a float, a date and a timestamp).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/PlainTableOwner.h"
#include "engine/data/RecordLayout.h"

namespace ficha {
namespace {

constexpr int32_t kRecords = 1000000;

TNewTableInfo BenchTable() {
  TNewTableInfo info;
  info.fields = {MakeFieldDef(1, "ID", kFldInteger, 0, kSubAutoInc),
                 MakeFieldDef(2, "NOME", kFldString, 60),
                 MakeFieldDef(3, "NUM", kFldInteger),
                 MakeFieldDef(4, "VALOR", kFldFloat),
                 MakeFieldDef(5, "DIA", kFldDate),
                 MakeFieldDef(6, "HORA", kFldTimestamp)};
  return info;
}

std::string ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ficha_bench_XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const char* made = mkdtemp(buffer.data());
  return made ? std::string(made) + "/" : std::string("./");
}

// Appends count records; writes back every flush_every records (1 = after
// each insert, as a shared table does at the end of every change).
void AppendRecords(TDataFile& file, int32_t count, int flush_every) {
  const std::vector<TFieldDef>& defs = file.FieldDefs();
  for (int32_t i = 0; i < count; ++i) {
    TRecord* rec = file.AllocateRecord();
    uint8_t* d = rec->Data();
    SetRecordLink(d, rec->Number());
    SetRecordRowId(d, file.TakeRowIdentifier());
    uint8_t* name = FieldValue(d, defs[1]);
    std::memcpy(name, "ASSINANTE DE TESTE", 18);
    SetFieldHasValue(d, defs[1], true);
    PutI32(FieldValue(d, defs[2]), i);
    SetFieldHasValue(d, defs[2], true);
    PutF64(FieldValue(d, defs[3]), i * 0.5);
    SetFieldHasValue(d, defs[3], true);
    rec->MarkDirty();
    file.ReleaseRecord(rec);
    if ((i + 1) % flush_every == 0) {
      file.WriteBack(false, false);
      file.TrimRecordCache();
    }
  }
  file.WriteBack(false, false);
}

void BM_Append(benchmark::State& state) {
  std::string dir = ScratchDir();
  TPlainTableOwner owner("BENCH", dir);
  int flush_every = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TDataFile file(&owner);
    file.SetName(dir + "APPEND.DAT");
    file.InitializeDataFile(BenchTable());
    AppendRecords(file, kRecords, flush_every);
    file.CloseFile();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Append)
    ->Arg(1)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_SequentialRead(benchmark::State& state) {
  std::string dir = ScratchDir();
  TPlainTableOwner owner("BENCH", dir);
  {
    TDataFile file(&owner);
    file.SetName(dir + "READ.DAT");
    file.InitializeDataFile(BenchTable());
    AppendRecords(file, kRecords, 10000);
  }
  int64_t sum = 0;
  for (auto _ : state) {
    TDataFile file(&owner);
    file.SetName(dir + "READ.DAT");
    file.OpenFile();
    const TFieldDef& num = file.FieldDefs()[2];
    for (int32_t n = 1; n <= kRecords; ++n) {
      TRecord* rec = nullptr;
      file.GetRecord(nullptr, n, kReadAheadForward, &rec);
      sum += GetI32(FieldValue(rec->Data(), num));
      file.ReleaseRecord(rec);
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * kRecords);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace ficha

BENCHMARK_MAIN();
