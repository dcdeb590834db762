// Throughput of text comparison, case folding and literal formats: these run
// once per key comparison or per record in filters and index searches.
#include <benchmark/benchmark.h>

#include <string>

#include "lib/lang/CaseFolding.h"
#include "lib/lang/Collation.h"
#include "lib/lang/SortMap.h"
#include "lib/literal/Literal.h"

namespace ficha {
namespace {

constexpr LanguageId kPortugueseBrazil = 0x0416;

void BM_CompareAnsi(benchmark::State& state) {
  const char* a = "JOAO DA SILVA SAURO";
  const char* b = "JOAO DA SILVA SANTOS";
  for (auto _ : state) benchmark::DoNotOptimize(CompareText(0, 0, a, false, 0, b));
}
BENCHMARK(BM_CompareAnsi);

void BM_CompareAnsiCaseInsensitive(benchmark::State& state) {
  const char* a = "Joao da Silva Sauro";
  const char* b = "JOAO DA SILVA SANTOS";
  for (auto _ : state) benchmark::DoNotOptimize(CompareText(0, 0, a, true, 0, b));
}
BENCHMARK(BM_CompareAnsiCaseInsensitive);

void BM_CompareLocale(benchmark::State& state) {
  const bool case_insensitive = state.range(0) != 0;
  const char* a = "Jo\xE3o da Silva Sauro";
  const char* b = "JOAO DA SILVA SANTOS";
  for (auto _ : state) {
    benchmark::DoNotOptimize(CompareText(kPortugueseBrazil, 0, a, case_insensitive, 0, b));
  }
}
BENCHMARK(BM_CompareLocale)->Arg(0)->Arg(1);

void BM_UpperCaseLocale(benchmark::State& state) {
  std::string text = "S\xE3o Jos\xE9 dos Campos - avenida principal";
  for (auto _ : state) {
    UpperCaseInPlace(kPortugueseBrazil, 0, text);
    LowerCaseInPlace(kPortugueseBrazil, 0, text);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_UpperCaseLocale);

void BM_SortMapCached(benchmark::State& state) {
  GetSortMap(kPortugueseBrazil, 0);
  for (auto _ : state) benchmark::DoNotOptimize(GetSortMap(kPortugueseBrazil, 0));
}
BENCHMARK(BM_SortMapCached);

void BM_ParseTimestamp(benchmark::State& state) {
  double ts;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseTimestampLiteral("2012-07-29 10:30:15.250", &ts));
  }
}
BENCHMARK(BM_ParseTimestamp);

void BM_FormatFloat(benchmark::State& state) {
  double v = 1234.5678;
  for (auto _ : state) benchmark::DoNotOptimize(FormatFloat(v));
}
BENCHMARK(BM_FormatFloat);

}  // namespace
}  // namespace ficha

BENCHMARK_MAIN();
