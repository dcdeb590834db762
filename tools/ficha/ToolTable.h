// TToolTable: one table opened for inspection by the ficha tool.
//
// The table is opened shared through an engine session, exactly as a program
// of the system opens it, and is only ever read: no record, page, block or
// header is written, nothing is flushed, and a missing index file is reported
// instead of being recreated. While the tool reads, it holds the table's read
// lock (a read slot in the index file and, when there is one, in the blob
// file), so writers of other programs wait and the tool sees one consistent
// state. Tables that take no locks (read-only attribute) are read unlocked.
//
// Errors of the engine are raised as EFichaEngineError; a missing index file
// raises TToolError. Not copyable.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/blob/BlobReference.h"

namespace ficha {

class TBlobFile;
class TDataDirectory;
class TDataFile;
class TDataSession;
class TDataTable;
class TIndexFile;
class TPage;

// A failure of the tool that is not an engine error (the message is complete).
class TToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The table name as the engine keeps it: no directory, no ".DAT".
std::string BareTableName(std::string_view name);

class TToolTable {
 public:
  // Opens directory/table shared. password: given when the table is
  // encrypted (10498 when it does not match).
  TToolTable(std::string_view directory, std::string_view table, std::string_view password);
  ~TToolTable();

  TToolTable(const TToolTable&) = delete;
  TToolTable& operator=(const TToolTable&) = delete;

  // Takes and releases the table's read lock (nothing for tables that take
  // no locks). The destructor releases a lock still held.
  void ReadLock();
  void ReadUnlock();

  const std::string& Name() const { return name_; }
  const std::string& Directory() const;
  std::string FileName(std::string_view extension) const;
  TDataFile& Data();
  TIndexFile& Index();
  // Null when the table has no blob file.
  TBlobFile* Blob();

  // Record slots that the data file really holds (the header may claim more).
  int32_t ReadableSlots();
  // Copies record n into *record, reading ahead no further than record last
  // (a header that claims more records than the file holds must not make
  // the read fall short). The copy is zero-padded to hold every field the
  // definitions place, also when they are damaged.
  // REQUIRES: 1 <= n <= last <= ReadableSlots().
  void ReadRecord(int32_t n, int32_t last, std::vector<uint8_t>* record);
  // The whole content of a blob (engine errors for a damaged chain).
  std::vector<uint8_t> LoadBlob(int field_number, TBlobReference reference);

 private:
  void Open(std::string_view directory, std::string_view password);
  void Close();

  std::unique_ptr<TDataSession> session_;
  TDataDirectory* database_ = nullptr;
  TDataTable* table_ = nullptr;
  std::string name_;
  bool locked_ = false;
};

// The leaf entries of an index in key order, walked from the leftmost leaf
// along the next links. Every step is bounded: a walk that leaves the file,
// meets a page twice or descends deeper than the engine allows raises
// TToolError naming the index and page.
class TLeafWalk {
 public:
  TLeafWalk(TIndexFile& file, int index);
  ~TLeafWalk();
  TLeafWalk(const TLeafWalk&) = delete;
  TLeafWalk& operator=(const TLeafWalk&) = delete;

  // Moves to the next entry; false at the end.
  bool Next();
  const uint8_t* Key() const;
  int32_t Value() const;
  // Levels from the root to the leaves (0 for an empty index).
  int Depth() const { return depth_; }

 private:
  void Load(int32_t p);
  void Release();
  [[noreturn]] void Fail(int32_t page, const std::string& text) const;

  TIndexFile& file_;
  int index_;
  TPage* page_ = nullptr;
  int position_ = 0;
  int depth_ = 0;
  std::vector<int32_t> seen_;  // sorted page numbers visited
};

}  // namespace ficha
