// What the file classes of a table (data, index and blob file) ask of the
// shared table that owns them, and of the cursor that requests a record, page
// or block. The shared table and the cursor live above the file classes and
// implement these interfaces there.
#pragma once

#include <cstdint>
#include <string>

namespace ficha {

// The session's buffer-cache limits, read by the three file caches.
struct TCacheLimits {
  int32_t data_bytes = 16384;   // record-buffer budget per table
  int32_t data_count = 8192;    // at most this many cached records
  int32_t index_bytes = 16384;  // page-buffer budget per table
  int32_t blob_bytes = 32768;   // block-buffer budget per table
  int32_t blob_count = 8192;    // at most this many cached blocks
};

// The owning shared table. Not owned by the file objects; it outlives them.
class TTableOwner {
 public:
  virtual ~TTableOwner() = default;

  // The table name errors report, and its database directory.
  virtual const std::string& TableName() const = 0;
  virtual const std::string& Directory() const = 0;
  // The session's private directory (with trailing backslash), where
  // temporary files go.
  virtual std::string PrivateDirectory() const = 0;

  // True while the table takes part in a transaction whose changes must stay
  // in the caches (false while a commit writes them).
  virtual bool InTransaction() const = 0;
  virtual bool Exclusive() const = 0;
  virtual bool ReadOnlyAttribute() const = 0;

  // The table was modified by this process (a file wrote or appended).
  virtual void MarkModified() = 0;
  virtual bool ModifiedByThisProcess() const = 0;
  // A change was buffered inside a transaction.
  virtual void SetChangedInTransaction() = 0;

  // Session settings.
  virtual bool ForceBufferFlush() const = 0;
  virtual bool StrictChangeDetection() const = 0;
  virtual TCacheLimits CacheLimits() const = 0;

  // Whether the table has a primary index (the index file's flag). A table
  // without one always appends new records, keeping insertion order.
  virtual bool HasPrimaryIndex() const = 0;
};

// The cursor on whose behalf a record, page or block is read.
class TRequestingCursor {
 public:
  virtual ~TRequestingCursor() = default;

  // Runs before data is read from disk when StrictChangeDetection is off.
  // Exclusive cursors and cursors that take no locks return false at once.
  // Returns true when another program changed the table: the cursor has
  // already dropped its stale buffers and re-positioned, and the caller must
  // start its operation again.
  virtual bool CheckChangesBeforeRead() = 0;
};

}  // namespace ficha
