// TDataFile: a table's data file (".DAT"): the 127-byte header, the field
// definitions and the fixed-length records, with the record cache that all
// cursors of the table share. File layout in DataFile.cpp.
//
// The owning table (TTableOwner) supplies the table name for errors, the
// transaction and exclusive state and the session settings. Errors are
// raised as EFichaEngineError naming the table. Used from one thread at a
// time; the operating-system file below is shared process-wide.
//
// Not here: the byte-range locks of the locking protocol (the shared table
// takes them through LockRegion/UnlockRegion of this handler), opening and
// creating the whole file set (needs the index and blob files; done by the
// shared table with the name rules of TableFileSet.h), and SortRecords, which
// needs index keys: the index-key module builds it on AllRecordsCached,
// CachedRecords and RenumberRecords below.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data/FieldDef.h"
#include "engine/data/Record.h"
#include "engine/data/RecordCache.h"
#include "engine/data/TableHeader.h"
#include "engine/data/TableOwner.h"
#include "lib/file/FileHandler.h"

namespace ficha {

constexpr size_t kMaxFieldCount = 1024;
constexpr int kMaxBlobFields = 128;
constexpr uint16_t kMinBlobBlockSize = 64;
constexpr int32_t kMaxRecordCount = 200000000;
constexpr int64_t kMaxTableFileSize = 4000000000;
constexpr int kRecordReadBytes = 8192;  // bytes read in one piece at most

// What a new table's data file is made from (InitializeDataFile).
struct TNewTableInfo {
  uint16_t language = 0;
  uint16_t sort = 0;
  std::vector<TFieldDef> fields;  // in field-number order
  uint16_t blob_block_size = kDefaultBlobBlockSize;
  std::string description;
  std::string password;
  bool encrypted = false;
  uint16_t user_major = 0;
  uint16_t user_minor = 0;
};

// A change of the changeable parts of a field definition; members left empty
// keep their value.
struct TFieldDefChange {
  std::optional<std::string> name;
  std::optional<uint8_t> subtype;
  std::optional<std::string> description;
  std::optional<bool> required;
  std::optional<std::string> min_value;
  std::optional<std::string> max_value;
  std::optional<std::string> default_value;
};

// GetRecord's read_ahead: the number of records to read in one piece when
// the record is not cached, in the direction of travel: positive forward
// (n, n+1, ...), negative backward (n, n-1, ...); 0 or 1 reads n alone. The
// count is capped by the records-per-read count and the ends of the file.
constexpr int kReadAheadForward = 0x7FFFFFFF;  // as many as one read holds
constexpr int kReadAheadBackward = -0x7FFFFFFF;

class TDataFile : public TFileHandler {
 public:
  // REQUIRES: owner outlives this object.
  explicit TDataFile(TTableOwner* owner);
  ~TDataFile() override;

  TTableOwner* Owner() const { return owner_; }
  const std::string& TableName() const { return owner_->TableName(); }

  // Opens the handle, reads and checks the header (12035 for a wrong
  // version; 8961 for more than 1024 fields or a record size that cannot be
  // right), reads the definitions and sizes the cache. A failure closes the
  // file and passes the error on. Nothing when already open.
  void OpenFile() override;

  // Discards the cache without writing (callers write back first) and closes.
  void CloseFile() override;

  // ---- Header ----

  // Reads the 127 bytes at 0 under the access lock (9217 when short) into the
  // header image; clears the header-changed mark.
  void ReadHeader();

  // Re-reads the header; when its change count differs from the image's,
  // takes it as the new image and returns true (the caller drops cached
  // records). The field definitions are not re-read, so a header with
  // another record size or field count raises 8961 and the image stays.
  bool HeaderChanged();

  // When forced or changed: increments the change count, sets writer version
  // and write time, writes the 127 bytes, marks the table modified, clears
  // the mark. Returns whether it wrote.
  bool WriteHeader(bool force);

  // Inside a transaction: counts a change (change count + 1) and marks the
  // header changed without writing.
  void MarkHeaderChanged();

  // Marks the header image changed (written by the next WriteHeader).
  void SetHeaderChanged() { header_changed_ = true; }
  bool IsHeaderChanged() const { return header_changed_; }

  // Checks header and definitions against each other and the file size
  // (8961; 12035 for a wrong version; 15878 for a language that is not
  // installed). REQUIRES: open.
  void ValidateTable();

  const TTableHeader& Header() const { return header_; }
  int32_t ChangeCount() const { return header_.change_count; }
  uint16_t RecordSize() const { return header_.record_size; }
  uint16_t FieldCount() const { return header_.field_count; }
  int16_t BlobFieldCount() const { return header_.blob_field_count; }
  uint16_t BlobBlockSize() const { return header_.BlobBlockSize(); }
  uint16_t Language() const { return header_.language; }
  uint16_t Sort() const { return header_.sort; }
  uint16_t UserMajorVersion() const { return header_.user_major; }
  uint16_t UserMinorVersion() const { return header_.user_minor; }
  bool Encrypted() const { return header_.encrypted; }
  std::string Description() const;  // unscrambled
  std::string Password() const;     // unscrambled; empty when not encrypted
  int32_t FirstDeletedRecord() const { return header_.first_deleted; }
  int32_t NextRecordNumber() const { return header_.next_record; }
  int32_t RecordSlotCount() const { return header_.next_record - 1; }
  int32_t LastRowIdentifier() const { return header_.last_row_id; }

  // Gives out the next row identifier (1 after 2,147,483,647), stores it as
  // the last one and marks the header changed.
  int32_t TakeRowIdentifier();
  // A caller supplied its own row identifier: the last one becomes the
  // larger of the two (header marked changed when it moves).
  void SupplyRowIdentifier(int32_t row_id);

  // The blob file's revision counter lives in this header.
  int32_t LastBlobRevision() const { return header_.last_blob_revision; }
  void SetLastBlobRevision(int32_t revision);

  // Offset of the first record: 127 + 768 x field count.
  int64_t DataStart() const;
  // Offset of record n (n >= 1).
  int64_t RecordOffset(int32_t n) const;

  // ---- Field definitions ----

  // Reads 768 x field count bytes at 127 (9217 when short), unscrambles them
  // when encrypted and decodes each definition. Physical size and decimals
  // are derived from type and declared size, not taken from the file.
  void ReadFieldDefs();

  // Only when the definitions changed: writes them all at 127 (scrambled
  // when encrypted), flushes to the device when the session forces buffer
  // flushes, clears the mark. Returns whether it wrote.
  bool WriteFieldDefs();
  bool FieldDefsChanged() const { return defs_changed_; }

  const std::vector<TFieldDef>& FieldDefs() const { return defs_; }
  // Definition by 0-based position, by field number, or by name (ignoring
  // ASCII case and surrounding blanks); null when there is none.
  const TFieldDef* FieldDefAt(size_t index) const;
  const TFieldDef* FieldDefByNumber(uint16_t number) const;
  const TFieldDef* FieldDefByName(std::string_view name) const;

  // Changes the named parts of field number's definition and marks the
  // definitions changed. Returns false when there is no such field. Texts
  // are cut to their widths.
  bool ChangeFieldDef(uint16_t number, const TFieldDefChange& change);

  // Attaches the parsed expression of a calculated column (not owned).
  bool SetFieldExpression(uint16_t number, const void* expression);

  // ---- Creation ----

  // Builds header and definitions for a new table and creates the file
  // (emptying an existing one). Derives physical sizes and offsets. Raises
  // 9498 at the 129th blob field, 9477 when the record exceeds 65,535 bytes,
  // 9492 for more than 1024 fields, 10000 for a field of unknown type. The
  // header and definitions reach the disk with the next write-back. The
  // definitions are expected to be checked already (FieldDefCheck.h).
  void InitializeDataFile(const TNewTableInfo& info);

  // Truncates the file after the definitions and resets counters, chain,
  // next record and last row identifier (header marked changed). Drops the
  // cached records. REQUIRES: open.
  void EmptyDataFile();

  // Sets password (cut to 15, scrambled) and description (cut to 50;
  // scrambled when encrypted); the last row identifier unless it is -1; the
  // user versions. An unencrypted table keeps an empty password. Marks the
  // header changed.
  void AlterTableInfo(std::string_view password, std::string_view description, int32_t last_row_id,
                      uint16_t user_major, uint16_t user_minor);

  // ---- Records ----

  // Fetches record n pinned. n equal to the next record number appends a
  // fresh zero-filled slot (9479 beyond 200,000,000 records or 4,000,000,000
  // bytes). n = 0, or n beyond the next record number, raises 8962. When n is
  // not cached, the requesting cursor (may be null) first checks for foreign
  // changes unless StrictChangeDetection is on; when it reports one, returns
  // false with *record = null and nothing read. Otherwise reads from disk per
  // read_ahead (see kReadAheadForward). Returns true with the record pinned;
  // release it with ReleaseRecord.
  bool GetRecord(TRequestingCursor* cursor, int32_t n, int read_ahead, TRecord** record);

  // The slot AllocateRecord would use now: the first deleted record, or the
  // next record number when the chain is empty or the table has no primary
  // index.
  int32_t NextSlotNumber() const;

  // Fetches that slot pinned (appending when it is the next record number)
  // and unlinks it: the header's first deleted record becomes the slot's link
  // when the slot is marked deleted, else 0. The caller fills the record,
  // marks it dirty and releases it.
  TRecord* AllocateRecord();

  // Puts the record on the deleted chain: deleted flag 1, link to the current
  // head (0 when new records would be appended), head := this record. Marks
  // record and header changed.
  void DeleteRecordSlot(TRecord* record);

  // Writes the dirty unpinned records, each run of consecutive numbers in one
  // write (scrambled when encrypted). Returns whether anything was written.
  bool FlushRecords();

  // Drops every cached record without writing, pinned ones included: every
  // holder of a record pointer must forget it (cursors drop their records
  // before the table discards its buffers).
  void DiscardRecords();

  // Evicts clean unpinned records down to the cache limit and shrinks the
  // capacity to max(count, limit).
  void TrimRecordCache();

  // Drops one pin of a record got from GetRecord or AllocateRecord. A record
  // pointer stays valid while pinned, until DiscardRecords, EmptyDataFile,
  // InitializeDataFile, RenumberRecords or CloseFile.
  void ReleaseRecord(TRecord* record);

  // The write-back of this file at the end of a change: records, header
  // (when changed or force_header), definitions; then the device flush when
  // anything was written and force_os_flush or ForceBufferFlush is set.
  // Inside a transaction nothing is written: the header change is counted
  // (MarkHeaderChanged) when there is one. Returns whether anything was
  // written.
  bool WriteBack(bool force_header, bool force_os_flush);

  // ---- Hooks for sorting a result table (SortRecords, index-key module) ----

  // True when every record slot 1 ... next - 1 is in the cache.
  bool AllRecordsCached() const;
  // The cached records in record-number order.
  const std::vector<TRecord*>& CachedRecords() const { return cache_.Ordered(); }
  // Keeps exactly the records of order, renumbered 1 ... k in that order
  // (bytes 1-4 set, all marked dirty); every other cached record is dropped.
  // Next record := k + 1, deleted chain emptied, file truncated after record
  // k, header marked changed. REQUIRES: AllRecordsCached(), every record of
  // order cached and none pinned.
  void RenumberRecords(const std::vector<TRecord*>& order);

  // ---- Cache figures ----
  int RecordsPerRead() const { return records_per_read_; }
  size_t CacheLimit() const;
  size_t CachedCount() const { return cache_.Count(); }
  size_t CacheCapacity() const { return cache_.Capacity(); }
  int64_t CacheRequests() const { return requests_; }
  int64_t CacheHits() const { return hits_; }
  int64_t DiskReads() const { return disk_reads_; }

 private:
  [[noreturn]] void RaiseTable(int code) const;
  void CheckHeaderSane();
  void ResetCacheFigures();
  TRecord* NewCacheEntry(int32_t n);
  void ReadBlock(int32_t n, int count, bool forward);
  bool ShortReadAllowed() const;
  void MarkModified();

  TTableOwner* owner_;
  TTableHeader header_;
  bool header_changed_ = false;
  std::vector<TFieldDef> defs_;
  bool defs_changed_ = false;
  std::vector<uint8_t> read_buffer_;   // grows in 4096-byte steps
  std::vector<uint8_t> write_buffer_;  // grows in 4096-byte steps
  int records_per_read_ = 1;
  int32_t window_first_ = 0;  // block being read: first record, count
  int32_t window_count_ = 0;
  TRecordCache cache_;
  int64_t requests_ = 0;
  int64_t hits_ = 0;
  int64_t disk_reads_ = 0;
  bool modified_ = false;
};

}  // namespace ficha
