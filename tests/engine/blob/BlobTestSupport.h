// Shared fixture of the blob tests: a blob file on disk in a fresh directory,
// owned by a settable table owner, with helpers to save, load and examine
// blobs and the raw file.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/Fichacn.h"
#include "engine/blob/BlobBuffer.h"
#include "engine/blob/BlobFile.h"
#include "engine/blob/BlockHeader.h"
#include "engine/data/PlainTableOwner.h"

namespace ficha::blobtest {

using Bytes = std::vector<uint8_t>;

// Bytes that differ from block to block, so that a misplaced block shows.
inline Bytes Pattern(size_t length, uint32_t seed) {
  Bytes bytes(length);
  uint32_t x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < length; ++i) {
    x = x * 1103515245u + 12345u;
    bytes[i] = static_cast<uint8_t>(x >> 16);
  }
  return bytes;
}

// The engine error code raised by f, 0 when it raises nothing.
inline int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EFichaEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

// A cursor whose change check reports a change a given number of times and
// calls a hook each time (to simulate what the table does then).
class FakeCursor : public TRequestingCursor {
 public:
  bool CheckChangesBeforeRead() override {
    ++calls;
    if (changes_left == 0) return false;
    if (changes_left > 0) --changes_left;
    if (on_change) on_change();
    return true;
  }
  int calls = 0;
  int changes_left = 0;  // -1: always
  std::function<void()> on_change;
};

class BlobFileFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/h6blobXXXXXX";
    const char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    dir_ = made;
    path_ = dir_ + "/TABELA.BLB";
    owner_.SetTableName("TABELA");
  }

  void TearDown() override {
    file_.reset();
    std::filesystem::remove_all(dir_);
  }

  // Creates the file with the block size and writes its header.
  TBlobFile& Create(int block_size = 512, bool encrypted = false) {
    file_.reset();
    file_ = std::make_unique<TBlobFile>(&owner_);
    file_->SetName(path_);
    file_->SetBlockSize(block_size);
    file_->SetEncrypted(encrypted);
    file_->CreateNewFile();
    file_->FlushBuffers(false, false, false);
    return *file_;
  }

  // Writes everything back, closes, and opens again.
  TBlobFile& Reopen() {
    const int block_size = file_->BlockSize();
    const bool encrypted = file_->Encrypted();
    file_->FlushBuffers(false, false, true);
    file_.reset();
    file_ = std::make_unique<TBlobFile>(&owner_);
    file_->SetName(path_);
    file_->SetBlockSize(block_size);
    file_->SetEncrypted(encrypted);
    file_->OpenFile();
    return *file_;
  }

  TBlobReference Save(TBlobReference reference, const Bytes& content, int32_t revision) {
    TBlobBuffer buffer(file_.get(), nullptr, 1, reference);
    buffer.Resize(static_cast<int64_t>(content.size()));
    buffer.Write(0, static_cast<int64_t>(content.size()), content.data());
    buffer.SaveBlob(revision);
    return buffer.Reference();
  }

  Bytes Load(TBlobReference reference, TRequestingCursor* cursor = nullptr) {
    TBlobBuffer buffer(file_.get(), cursor, 1, reference);
    buffer.LoadBlob();
    return Bytes(buffer.Data(), buffer.Data() + buffer.Length());
  }

  Bytes DiskBytes() const {
    std::ifstream in(path_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  void WriteDisk(const Bytes& bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }

  // The header of block n as stored (plain tables only).
  TBlockHeader DiskBlock(int32_t n) const {
    const Bytes disk = DiskBytes();
    const size_t offset = 512 + static_cast<size_t>(n - 1) * file_->BlockSize();
    TBlockHeader header;
    if (disk.size() >= offset + kBlockHeaderSize) header.Decode(&disk[offset]);
    return header;
  }

  // Changes a stored block header with the file closed, then reopens.
  void PatchDiskBlock(int32_t n, const std::function<void(TBlockHeader&)>& change) {
    const int block_size = file_->BlockSize();
    file_->FlushBuffers(false, false, false);
    file_.reset();
    Bytes disk = DiskBytes();
    const size_t offset = 512 + static_cast<size_t>(n - 1) * block_size;
    TBlockHeader header;
    header.Decode(&disk[offset]);
    change(header);
    header.Encode(&disk[offset]);
    WriteDisk(disk);
    file_ = std::make_unique<TBlobFile>(&owner_);
    file_->SetName(path_);
    file_->SetBlockSize(block_size);
    file_->OpenFile();
  }

  // Blocks on the free chain, in chain order (bounded by the block count).
  std::vector<int32_t> FreeChain() {
    std::vector<int32_t> chain;
    int32_t n = file_->Header().FirstFreeBlock();
    while (n != 0 && static_cast<int32_t>(chain.size()) <= file_->BlockCount()) {
      chain.push_back(n);
      TPinnedBlock block;
      file_->GetBlock(nullptr, n, 1, &block);
      n = block->Header().next;
    }
    return chain;
  }

  std::string dir_;
  std::string path_;
  TPlainTableOwner owner_;
  std::unique_ptr<TBlobFile> file_;
};

}  // namespace ficha::blobtest
