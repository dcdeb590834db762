// A fixture for index-file tests: an in-memory index file of one table with
// helpers to define indexes, make keys and read raw pages.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/EngineError.h"
#include "engine/data/PlainTableOwner.h"
#include "engine/index/IndexFile.h"

namespace ficha {

class IndexFileFixture : public ::testing::Test {
 public:
  static TIndexDef Def(std::string name, int key_size, bool unique = true, int compression = 0,
                       bool descending = false) {
    TIndexDef d;
    d.name = std::move(name);
    d.key_size = static_cast<uint16_t>(key_size);
    d.unique = unique;
    d.compression = static_cast<uint8_t>(compression);
    d.descending = descending;
    d.field_count = 1;
    d.field_numbers[0] = 1;
    d.field_descending[0] = descending;
    return d;
  }

  // A key of size k holding v big-endian in its first four bytes.
  static std::vector<uint8_t> Key(uint32_t v, int k) {
    std::vector<uint8_t> key(static_cast<size_t>(k), 0);
    key[0] = static_cast<uint8_t>(v >> 24);
    key[1] = static_cast<uint8_t>(v >> 16);
    key[2] = static_cast<uint8_t>(v >> 8);
    key[3] = static_cast<uint8_t>(v);
    return key;
  }

 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    name_ = "index_test_" + std::to_string(++counter) + ".IDX";
    file_ = std::make_unique<TIndexFile>(&owner_);
    file_->SetInMemory(true);
    file_->SetName(name_);
    file_->CreateNewFile();
  }
  void TearDown() override {
    file_->CloseFile();
    try {
      file_->RemoveFile();
    } catch (const std::exception&) {
    }
  }

  std::vector<uint8_t> RawPage(int32_t p) {
    std::vector<uint8_t> image(kIndexPageSize, 0);
    file_->BeginAccess();
    file_->SeekTo(0, static_cast<int64_t>(p) * kIndexPageSize);
    file_->ReadData(image.data(), kIndexPageSize, true);
    file_->EndAccess();
    return image;
  }
  void WriteRawPage(int32_t p, const std::vector<uint8_t>& image) {
    file_->BeginAccess();
    file_->SeekTo(0, static_cast<int64_t>(p) * kIndexPageSize);
    file_->WriteData(image.data(), kIndexPageSize);
    file_->EndAccess();
  }
  // Writes everything back and empties the caches, so that the next access
  // decodes pages from their disk images.
  void Cycle() {
    file_->FlushBuffers(false, false, true);
    file_->DiscardPages();
  }

  // Runs f and returns the engine code it raised (0 when it did not raise);
  // also checks that the error names the table.
  template <typename F>
  int CodeOf(F f) {
    try {
      f();
    } catch (const EFichaEngineError& e) {
      EXPECT_EQ(e.ErrorTableName(), owner_.TableName());
      return e.ErrorCode();
    }
    return 0;
  }

  TPlainTableOwner owner_{"ORDERS"};
  std::unique_ptr<TIndexFile> file_;
  std::string name_;
};

}  // namespace ficha
