// TPlainTableOwner: a table owner with settable values, for code that uses a
// table's files without a session (tools, tests, benchmarks). It keeps the
// modified and changed-in-transaction marks it is given.
#pragma once

#include <string>
#include <string_view>

#include "engine/data/TableOwner.h"

namespace ficha {

class TPlainTableOwner : public TTableOwner {
 public:
  explicit TPlainTableOwner(std::string_view table_name = {}, std::string_view directory = {})
      : table_name_(table_name), directory_(directory) {}

  const std::string& TableName() const override { return table_name_; }
  const std::string& Directory() const override { return directory_; }
  std::string PrivateDirectory() const override { return private_directory; }
  bool InTransaction() const override { return in_transaction; }
  bool Exclusive() const override { return exclusive; }
  bool ReadOnlyAttribute() const override { return read_only_attribute; }
  void MarkModified() override { modified = true; }
  bool ModifiedByThisProcess() const override { return modified; }
  void SetChangedInTransaction() override { changed_in_transaction = true; }
  bool ForceBufferFlush() const override { return force_buffer_flush; }
  bool StrictChangeDetection() const override { return strict_change_detection; }
  TCacheLimits CacheLimits() const override { return limits; }
  bool HasPrimaryIndex() const override { return has_primary_index; }

  void SetTableName(std::string_view name) { table_name_ = std::string(name); }

  std::string private_directory;
  bool in_transaction = false;
  bool exclusive = false;
  bool read_only_attribute = false;
  bool modified = false;
  bool changed_in_transaction = false;
  bool force_buffer_flush = false;
  bool strict_change_detection = false;
  bool has_primary_index = true;
  TCacheLimits limits;

 private:
  std::string table_name_;
  std::string directory_;
};

}  // namespace ficha
