// TBlobFile: the blob file of a table (".BLB"), its header and its block
// cache.
//
// The file holds a 512-byte header (BlobFileHeader.h) and fixed-size blocks
// (BlockHeader.h); a blob is a chain of blocks. The owning table gives the
// block size (from its data header) and the encrypted flag before the file is
// opened or created. All cursors of a table share one TBlobFile and its cache;
// it is used from one thread at a time.
//
// Blocks are fetched pinned (TPinnedBlock); changed blocks stay in the cache,
// marked dirty, until the table writes its buffers back (FlushBuffers). Inside
// a transaction nothing is written: a cache full of changed blocks grows
// instead. Errors are raised as engine errors naming the owner's table.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/blob/BlobFileHeader.h"
#include "engine/blob/Block.h"
#include "engine/blob/BlockStack.h"
#include "engine/data/TableOwner.h"
#include "lib/file/FileHandler.h"

namespace ficha {

// Limits of a blob file: block numbers and the end of the last block.
constexpr int64_t kMaxBlobBlocks = 2000000000;
constexpr int64_t kMaxBlobFileBytes = 4000000000;

class TBlobFile : public TFileHandler {
 public:
  // Activity of the block cache since the file was opened.
  struct TCounters {
    int64_t requests = 0;  // GetBlock calls
    int64_t hits = 0;      // found in the cache
    int64_t reads = 0;     // disk reads (each of one or more blocks)
    int64_t writes = 0;    // disk writes (each of a run of blocks)
  };

  // owner: the table this file belongs to; not owned, must outlive the file.
  explicit TBlobFile(TTableOwner* owner);
  ~TBlobFile() override;

  // Opens the file, reads its header (unscrambled on an encrypted table) and
  // sizes the cache. Raises 12035 for a version other than 5; any failure
  // leaves the file closed. Nothing when already open.
  void OpenFile() override;
  // Drops the cached blocks without writing them (write back first), closes.
  void CloseFile() override;
  // Creates an empty file: header with version 5, no free block, next block
  // number 1, marked changed (it reaches the disk with the next write-back).
  void CreateNewFile() override;

  // The block size B from the data header (the table's stored value, 512
  // when it is 0). Raises 9498 when below 64 or above 65535.
  // REQUIRES: the file is closed.
  void SetBlockSize(int block_size);
  int BlockSize() const { return block_size_; }
  int BlockDataSize() const { return block_size_ - kBlockHeaderSize; }
  // REQUIRES: the file is closed.
  void SetEncrypted(bool encrypted) { encrypted_ = encrypted; }
  bool Encrypted() const { return encrypted_; }

  // --- header ---

  // Reads the 512 bytes at offset 0 into the header (9217 when short) and
  // clears the changed mark.
  void ReadBlobHeader();
  // Re-reads the header; when another writer changed it (its change count
  // differs), takes the new header and returns true. The caller then drops
  // the cached blocks (DiscardBlocks).
  bool BlobHeaderChanged();
  // When the header changed since it was read or written, or force: bumps
  // the change count, writes the 512 bytes, marks the table modified and
  // returns true. Otherwise false.
  bool WriteBlobHeader(bool force);
  // Inside a transaction: counts a change in memory without writing.
  void MarkBlobHeaderChanged();
  bool HeaderChanged() const { return header_changed_; }
  const TBlobFileHeader& Header() const { return header_; }
  // Blocks in the file as the header says (next block number - 1); 0 for a
  // damaged header whose next block number is not positive.
  int32_t BlockCount() const { return header_.NextBlock() > 0 ? header_.NextBlock() - 1 : 0; }

  // Truncates the file after its header and resets it to an empty file
  // (changed mark set; the change count goes on). Drops the cached blocks.
  void EmptyBlobFile();
  // Raises 12035 for a version other than 5 and 8961 when the next block
  // number is below 1, the first free block lies outside the file, or the
  // file is shorter than the blocks the header counts.
  // REQUIRES: no unwritten appended blocks (run it on a freshly read header).
  void ValidateBlobHeader();

  // --- blocks ---

  // Fetches block number pinned into *block and returns true.
  //  - number 0 or below, or beyond the next block number: 8963;
  //  - number equal to the next block number appends a new, zero block
  //    (9479 when the file would pass its limits);
  //  - a block not in the cache is read from disk together with up to
  //    read_ahead - 1 following blocks (bounded by the blocks per read and the
  //    end of the file). Before that read, unless StrictChangeDetection is
  //    set, cursor (when not null) checks for changes by other programs; if
  //    it finds one, nothing is read, *block stays empty and the result is
  //    false: the caller must start its walk again.
  bool GetBlock(TRequestingCursor* cursor, int32_t number, int read_ahead, TPinnedBlock* block);

  // A cleared block, pinned and dirty: the first free block, or a new one at
  // the end of the file. Raises 8963 when the free chain is damaged.
  TPinnedBlock NewBlock();

  // Puts a fetched block on the free chain.
  void FreeBlock(TBlock* block);

  // The block numbers of the chain that starts at first (empty for 0), in
  // chain order. Every link must lie within the file and no block may come
  // twice (8963); every block must carry revision (first_mismatch for the
  // first block, 8963 for the others; with repair a mismatch is accepted)
  // and be held by nobody else (8963).
  std::vector<int32_t> ChainBlocks(int32_t first, int32_t revision, bool repair,
                                   int first_mismatch);

  // Frees the whole chain that starts at first (0: nothing). Every block must
  // carry revision and be held by nobody else, else 8963; with repair a
  // wrong revision is overwritten instead. The chain is checked completely
  // before anything is freed, so a damaged chain frees nothing.
  void FreeBlobChain(int32_t first, int32_t revision, bool repair);

  // Writes the dirty, unpinned blocks (except those of a read in progress),
  // each run of consecutive block numbers with one write. Returns whether
  // anything was written.
  bool FlushBlocks();
  // Drops every cached block without writing it. Blocks still pinned stay
  // in the cache (marked clean) so that their holders are not left dangling.
  void DiscardBlocks();
  // Evicts clean, unpinned blocks down to the cache limit.
  void TrimBlockCache();

  // The table's write-back of this file: dirty blocks, then the header when
  // it changed or write_header is set, then a device flush when anything was
  // written and force_os_flush or the session's ForceBufferFlush is set;
  // with trim the cache is trimmed afterwards. Inside a transaction nothing
  // is written: a change of the header is only counted. Returns whether
  // anything was written.
  bool FlushBuffers(bool write_header, bool force_os_flush, bool trim);

  // --- cache state, for the table and for diagnostics ---

  const TCounters& Counters() const { return counters_; }
  size_t CachedBlocks() const { return list_.size(); }
  size_t CacheCapacity() const { return capacity_; }
  int BlocksPerRead() const { return blocks_per_read_; }
  // The cached block of that number, or nullptr; not pinned.
  const TBlock* PeekBlock(int32_t number) const;

  TTableOwner* Owner() const { return owner_; }

  // Raises code (positive or negated) naming the owner's table and database.
  [[noreturn]] void RaiseTableError(int code) const;

 private:
  friend class TBlock;

  void ResetCache();
  // A change was made in memory: inside a transaction the table hears of it.
  void NoteChange();
  void NoteHeaderChange();

  // Index of number in list_, or -1.
  int FindIndex(int32_t number) const;
  TBlock* Find(int32_t number);
  // A new cache entry for number (REQUIRES: not cached), cleared and placed
  // at the newest end; may evict, write or grow the cache.
  TBlock* MakeEntry(int32_t number);
  TBlock* OldestEvictable() const;
  void RemoveEntry(TBlock* block);
  void LinkNewest(TBlock* block);
  void Unlink(TBlock* block);
  void Touch(TBlock* block);

  void ReadBlocks(int32_t first, int count);
  void DecodeBlock(TBlock* block, uint8_t* image);

  TTableOwner* owner_;
  TBlobFileHeader header_;
  bool header_changed_ = false;
  bool encrypted_ = false;
  int block_size_ = 512;
  int blocks_per_read_ = 32;
  size_t capacity_ = 64;
  size_t limit_ = 64;

  // Cached blocks ordered by block number (owned), and the least-recently-used
  // chain through them.
  std::vector<std::unique_ptr<TBlock>> list_;
  TBlock* newest_ = nullptr;
  TBlock* oldest_ = nullptr;

  // The blocks of the read in progress: their image in read_buffer_ is what
  // the disk held, so a dirty one among them must not be written meanwhile
  // (it would then count as clean and be overwritten with the older image),
  // and none of them is evicted to make room for the others.
  bool InReadWindow(int32_t number) const {
    return number >= read_first_ && number < read_first_ + read_count_;
  }
  int32_t read_first_ = 0;
  int32_t read_count_ = 0;
  std::vector<uint8_t> read_buffer_;
  std::vector<uint8_t> write_buffer_;
  TCounters counters_;
  TBlockStack pool_;
};

}  // namespace ficha
