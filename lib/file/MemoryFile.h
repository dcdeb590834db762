// A file that lives in the process memory (in-memory tables).
//
// The buffer grows in whole steps of 4096 bytes, new bytes are zero, and it
// never shrinks except when the file is emptied (create, or a truncation to
// size 0). Each handle has its own position. Byte-range locks are emulated
// with the lock entries only.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "lib/file/AbstractFile.h"

namespace ficha {

class TMemoryFile : public TAbstractFile {
 public:
  static constexpr int64_t kGrowStep = 4096;

  TMemoryFile(std::string_view name, bool exclusive, bool temporary);

  bool InMemory() const override { return true; }
  int32_t Create() override;
  int64_t Read(int32_t id, void* buffer, int64_t count) override;
  int64_t Write(int32_t id, const void* buffer, int64_t count) override;

  // Bytes reserved for the buffer (a multiple of kGrowStep).
  int64_t Capacity() const { return static_cast<int64_t>(buffer_.size()); }

 private:
  // Makes the buffer cover at least bytes (REQUIRES: lock held).
  bool Reserve(int64_t bytes);

  std::vector<unsigned char> buffer_;
};

}  // namespace ficha
