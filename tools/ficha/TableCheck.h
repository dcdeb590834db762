// TTableCheck: read-only structural verification of one table, for
// `ficha check`.
//
// It checks the data header against the file size and the field
// definitions, the chain of deleted records, every B-tree of the index file
// (through TIndexChecker) and its contents against the records (every active
// record present exactly once in every index with the key its fields give,
// "Sys Deleted" covering every record slot, the active-record count), the
// row identifiers, and the blob file: header against file size, the free
// chain, and the chain of every blob (links, revisions, lengths, blocks used
// twice or by nobody). Every walk is bounded: a loop is a problem, not a hang.
//
// Each problem is one line naming the table and the index, page, record or
// block concerned. Nothing is written. REQUIRES: the table is read-locked
// for the duration of Run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/blob/BlobReference.h"
#include "engine/index/TextIndexSettings.h"

namespace ficha {

class TToolTable;

class TTableCheck {
 public:
  explicit TTableCheck(TToolTable& table) : table_(table) {}
  TTableCheck(const TTableCheck&) = delete;
  TTableCheck& operator=(const TTableCheck&) = delete;

  // Runs every check; returns the problems found (empty when sound).
  std::vector<std::string> Run();

  // Figures of the last run, for the summary.
  int32_t ActiveRecords() const { return active_; }
  int32_t RecordSlots() const { return slots_; }

 private:
  struct TBlobUse {
    int32_t record;
    uint16_t field;
    TBlobReference reference;
  };

  void Problem(const std::string& where, const std::string& text);
  std::string IndexLabel(int index);
  void CheckDataHeader();
  void ReadRecords();
  void CheckDeletedChain();
  void CheckRowIdentifiers();
  void CheckIndexHeader();
  void CheckIndexTrees();
  void CheckIndexContents(int index);
  // The words of the text-indexed fields of an active record.
  void CollectWords(int32_t n, const uint8_t* record);
  void CheckTextIndex();
  void CheckBlobFile();

  TToolTable& table_;
  std::vector<std::string> problems_;
  int32_t slots_ = 0;  // record slots readable from the file
  int32_t active_ = 0;
  std::vector<uint8_t> deleted_;  // per slot (index 0 unused)
  std::vector<int32_t> link_;     // per slot: deleted-chain link
  std::vector<int32_t> row_id_;   // per slot
  std::vector<TBlobUse> blobs_;   // blob references of active records
  // Per index slot: whether its contents are checked, and the key each
  // record slot should have there (slot n at (n - 1) * key size).
  std::vector<bool> key_checked_;
  std::vector<int> key_size_;
  std::vector<std::vector<uint8_t>> expected_keys_;
  // Text index: whether it is checked, the entries the records give (68-byte
  // key + record number, as one string each), and the records whose words
  // are unknown (a blob that cannot be read).
  bool text_checked_ = false;
  TTextIndexSettings text_settings_;
  std::vector<std::string> expected_words_;
  std::vector<uint8_t> words_unknown_;
  std::vector<int> damaged_indexes_;
};

}  // namespace ficha
