// Blob file throughput: writing a blob back to its chain and reading it again,
// for blobs of 100 bytes, 10 KB and 1 MB in a table with 512-byte blocks. The
// file lives in the temporary directory; reads start from an empty block
// cache, so every block comes from the file (through the OS cache).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/blob/BlobBuffer.h"
#include "engine/blob/BlobFile.h"
#include "engine/data/PlainTableOwner.h"

namespace ficha {
namespace {

class BlobBench {
 public:
  BlobBench() : owner_("BENCH") {
    char pattern[] = "/tmp/blobbenchXXXXXX";
    dir_ = mkdtemp(pattern);
    file_.SetName(dir_ + "/BENCH.BLB");
    file_.SetBlockSize(512);
    file_.CreateNewFile();
    file_.FlushBuffers(true, false, false);
  }
  ~BlobBench() {
    file_.CloseFile();
    std::filesystem::remove_all(dir_);
  }

  TBlobFile& File() { return file_; }

 private:
  TPlainTableOwner owner_;
  std::string dir_;
  TBlobFile file_{&owner_};
};

std::vector<uint8_t> Content(int64_t length) {
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
  return bytes;
}

// Rewrites one blob (its chain is reused block by block) and writes the
// changed blocks and the header to the file.
void BM_BlobWrite(benchmark::State& state) {
  const int64_t length = state.range(0);
  BlobBench bench;
  const std::vector<uint8_t> content = Content(length);
  TBlobReference reference;
  int32_t revision = 0;
  for (auto _ : state) {
    TBlobBuffer buffer(&bench.File(), nullptr, 1, reference);
    buffer.Write(0, length, content.data());
    revision = NextBlobRevision(revision);
    buffer.SaveBlob(revision);
    bench.File().FlushBuffers(false, false, true);
    reference = buffer.Reference();
  }
  state.SetBytesProcessed(state.iterations() * length);
}

// Writes a new blob and deletes it again: the chain is built from new
// blocks (taken off the free chain after the first round).
void BM_BlobWriteNew(benchmark::State& state) {
  const int64_t length = state.range(0);
  BlobBench bench;
  const std::vector<uint8_t> content = Content(length);
  int32_t revision = 0;
  for (auto _ : state) {
    TBlobBuffer buffer(&bench.File(), nullptr, 1, {});
    buffer.Write(0, length, content.data());
    revision = NextBlobRevision(revision);
    buffer.SaveBlob(revision);
    bench.File().FlushBuffers(false, false, true);
    buffer.DeleteBlob();
    bench.File().FlushBuffers(false, false, true);
  }
  state.SetBytesProcessed(state.iterations() * length);
}

// Loads one blob with a cold block cache.
void BM_BlobRead(benchmark::State& state) {
  const int64_t length = state.range(0);
  BlobBench bench;
  const std::vector<uint8_t> content = Content(length);
  TBlobBuffer writer(&bench.File(), nullptr, 1, {});
  writer.Write(0, length, content.data());
  writer.SaveBlob(1);
  bench.File().FlushBuffers(false, false, true);
  for (auto _ : state) {
    bench.File().DiscardBlocks();
    TBlobBuffer buffer(&bench.File(), nullptr, 1, writer.Reference());
    buffer.LoadBlob();
    benchmark::DoNotOptimize(buffer.Data());
    if (buffer.Length() != length) state.SkipWithError("blob read back short");
  }
  state.SetBytesProcessed(state.iterations() * length);
}

BENCHMARK(BM_BlobWrite)->Arg(100)->Arg(10 * 1024)->Arg(1024 * 1024);
BENCHMARK(BM_BlobWriteNew)->Arg(100)->Arg(10 * 1024)->Arg(1024 * 1024);
BENCHMARK(BM_BlobRead)->Arg(100)->Arg(10 * 1024)->Arg(1024 * 1024);

}  // namespace
}  // namespace ficha

BENCHMARK_MAIN();
