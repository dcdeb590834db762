// Tables on disk for the ficha tool tests, written through the engine's own
// file classes (data, index and blob file), and helpers to run the tool in
// process and to damage files byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ficha::testing {

struct TToolRun {
  int status = 0;
  std::string out;
  std::string err;
};

class ToolTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;

  // SAMPLE: one field of every kind, primary index on ID, secondary index
  // BYNAME on NAME, text index on NAME and the memo NOTES; records 1, 2 and
  // 4 active, record 3 deleted. Block size 64, so the long memo of record 4
  // takes three blocks.
  void CreateSample() const;
  // BIG: ID, NAME and a memo NOTES; 600 records, primary index on ID (two
  // leaves under a root), secondary index BYNAME; records 10 and 20 deleted
  // (chain 20 -> 10); every 50th record has a 200-byte memo (5 blocks).
  // Record i holds ID i and NAME "N" + (i % 37). A password encrypts it.
  void CreateBig(const std::string& name = "BIG", int records = 600,
                 const std::string& password = "") const;

  TToolRun Run(const std::vector<std::string>& args) const;
  std::string Dir() const { return dir_.string(); }
  std::filesystem::path Path(const std::string& file) const { return dir_ / file; }

  // Raw file access.
  std::vector<uint8_t> ReadBytes(const std::string& file, int64_t offset, size_t count) const;
  void WriteBytes(const std::string& file, int64_t offset, const std::vector<uint8_t>& bytes) const;
  int32_t ReadI32(const std::string& file, int64_t offset) const;
  void WriteI32(const std::string& file, int64_t offset, int32_t value) const;
  std::string FileContent(const std::string& file) const;

  // Offset of record n of BIG in BIG.DAT (3 fields).
  static int64_t BigRecordOffset(int32_t n);
  // Offset of the value of BIG's NOTES field in a record.
  static int64_t BigNotesValue();
  // Page numbers of BIG's primary index: the root and its children.
  std::vector<int32_t> BigPrimaryPages() const;
  // The same for any index slot of BIG whose root is an inner page.
  std::vector<int32_t> BigIndexPages(int slot) const;

  std::filesystem::path dir_;
};

}  // namespace ficha::testing
