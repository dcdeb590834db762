// Blob file (".BLB").
//
// The file is the 512-byte header (layout in BlobFileHeader.cpp) followed by
// blocks of B bytes each, B being the table's blob block size (64 to 65535;
// the data header's value, 512 when it is 0):
//
//   Offset                 Size  Content
//   ---------------------  ----  ------------------------------------------
//   0                       512  header
//   512 + (n - 1) * B         B  block n, n = 1 ... next block number - 1
//                                (layout in BlockHeader.cpp)
//
// Unused blocks form the free chain: the header names its first block and
// each free block's next link names the following one. The file never grows
// beyond 2,000,000,000 blocks or 4,000,000,000 bytes; the bytes above that are
// where the tables' byte-range locks live. On an encrypted table the header is
// scrambled as a whole, and each block's header and data separately.
#include "engine/blob/BlobFile.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "common/Fichacn.h"
#include "engine/blob/BlockHeader.h"
#include "engine/data/DataFile.h"
#include "engine/data/Scramble.h"

namespace ficha {

namespace {

// Holds the shared file's lock across a seek and its transfer.
// Scratch buffers grow in steps of 4096 bytes.
void Reserve(std::vector<uint8_t>& buffer, size_t bytes) {
  if (buffer.size() < bytes) buffer.resize((bytes + 4095) / 4096 * 4096);
}

int64_t BlockOffset(int32_t number, int block_size) {
  return kBlobHeaderSize + static_cast<int64_t>(number - 1) * block_size;
}

constexpr int kCacheGrowth = 32;
constexpr int kReadWindowBytes = 16384;

}  // namespace

TBlobFile::TBlobFile(TTableOwner* owner) : owner_(owner) {}

TBlobFile::~TBlobFile() {
  DiscardBlocks();
  TFileHandler::CloseFile();
}

void TBlobFile::RaiseTableError(int code) const {
  const std::string& table = owner_->TableName().empty() ? Name() : owner_->TableName();
  RaiseEngineError(code, table, {}, {}, {}, {}, {}, owner_->Directory());
}

void TBlobFile::SetBlockSize(int block_size) {
  if (block_size < kMinBlobBlockSize || block_size > 0xFFFF) RaiseTableError(FICHA_BLOBLIMIT);
  if (block_size != block_size_) {
    DiscardBlocks();
    pool_.Clear();
  }
  block_size_ = block_size;
}

void TBlobFile::ResetCache() {
  DiscardBlocks();
  counters_ = TCounters{};
  const TCacheLimits limits = owner_->CacheLimits();
  int64_t limit = std::min<int64_t>(limits.blob_bytes / block_size_, limits.blob_count);
  limit_ = static_cast<size_t>(std::max<int64_t>(limit, 1));
  capacity_ = limit_;
  blocks_per_read_ = std::max(1, kReadWindowBytes / block_size_);
}

void TBlobFile::OpenFile() {
  if (IsOpen()) return;
  TFileHandler::OpenFile();
  try {
    ReadBlobHeader();
    if (header_.Version() != kBlobFormatVersion) RaiseTableError(FICHA_OLDVERSION);
    ResetCache();
  } catch (...) {
    CloseFile();
    throw;
  }
}

void TBlobFile::CloseFile() {
  DiscardBlocks();
  header_changed_ = false;
  TFileHandler::CloseFile();
}

void TBlobFile::CreateNewFile() {
  DiscardBlocks();
  TFileHandler::CreateNewFile();
  header_ = TBlobFileHeader();
  header_changed_ = true;
  ResetCache();
}

// --- header ---

void TBlobFile::ReadBlobHeader() {
  uint8_t image[kBlobHeaderSize];
  {
    TFileAccess guard(*this);
    SeekTo(0, 0);
    ReadData(image, kBlobHeaderSize, false);
  }
  if (encrypted_) ScrambleBlock(image, kBlobHeaderSize);
  header_.Decode(image);
  header_changed_ = false;
}

bool TBlobFile::BlobHeaderChanged() {
  uint8_t image[kBlobHeaderSize];
  {
    TFileAccess guard(*this);
    SeekTo(0, 0);
    ReadData(image, kBlobHeaderSize, false);
  }
  if (encrypted_) ScrambleBlock(image, kBlobHeaderSize);
  TBlobFileHeader disk;
  disk.Decode(image);
  if (disk.ChangeCount() == header_.ChangeCount()) return false;
  header_ = disk;
  header_changed_ = false;
  return true;
}

bool TBlobFile::WriteBlobHeader(bool force) {
  if (!header_changed_ && !force) return false;
  header_.BumpChangeCount();
  uint8_t image[kBlobHeaderSize];
  header_.Encode(image, header_changed_);
  if (encrypted_) ScrambleBlock(image, kBlobHeaderSize);
  {
    TFileAccess guard(*this);
    SeekTo(0, 0);
    WriteData(image, kBlobHeaderSize);
  }
  owner_->MarkModified();
  header_changed_ = false;
  return true;
}

void TBlobFile::MarkBlobHeaderChanged() {
  header_.BumpChangeCount();
  NoteHeaderChange();
}

void TBlobFile::NoteChange() {
  if (owner_->InTransaction()) owner_->SetChangedInTransaction();
}

void TBlobFile::NoteHeaderChange() {
  header_changed_ = true;
  NoteChange();
}

void TBlobFile::EmptyBlobFile() {
  DiscardBlocks();
  {
    TFileAccess guard(*this);
    SeekTo(0, kBlobHeaderSize);
    const uint8_t none = 0;
    WriteData(&none, 0);
  }
  if (owner_->ForceBufferFlush()) FlushData();
  header_.Clear();
  NoteHeaderChange();
}

void TBlobFile::ValidateBlobHeader() {
  if (header_.Version() != kBlobFormatVersion) RaiseTableError(FICHA_OLDVERSION);
  const int32_t next = header_.NextBlock();
  if (next < 1 || next > kMaxBlobBlocks + 1) RaiseTableError(FICHA_HEADERCORRUPT);
  const int32_t first_free = header_.FirstFreeBlock();
  if (first_free < 0 || first_free > next - 1) RaiseTableError(FICHA_HEADERCORRUPT);
  // Blocks reach the disk before the header that counts them, so a file
  // shorter than its header says has lost blocks.
  if (GetFileSize() < BlockOffset(next, block_size_)) RaiseTableError(FICHA_HEADERCORRUPT);
}

// --- cache lists ---

int TBlobFile::FindIndex(int32_t number) const {
  auto it = std::lower_bound(
      list_.begin(), list_.end(), number,
      [](const std::unique_ptr<TBlock>& block, int32_t n) { return block->number_ < n; });
  if (it == list_.end() || (*it)->number_ != number) return -1;
  return static_cast<int>(it - list_.begin());
}

TBlock* TBlobFile::Find(int32_t number) {
  const int index = FindIndex(number);
  return index < 0 ? nullptr : list_[index].get();
}

const TBlock* TBlobFile::PeekBlock(int32_t number) const {
  const int index = FindIndex(number);
  return index < 0 ? nullptr : list_[index].get();
}

void TBlobFile::LinkNewest(TBlock* block) {
  block->older_ = newest_;
  block->newer_ = nullptr;
  if (newest_ != nullptr) newest_->newer_ = block;
  newest_ = block;
  if (oldest_ == nullptr) oldest_ = block;
}

void TBlobFile::Unlink(TBlock* block) {
  if (block->newer_ != nullptr) {
    block->newer_->older_ = block->older_;
  } else {
    newest_ = block->older_;
  }
  if (block->older_ != nullptr) {
    block->older_->newer_ = block->newer_;
  } else {
    oldest_ = block->newer_;
  }
  block->newer_ = block->older_ = nullptr;
}

void TBlobFile::Touch(TBlock* block) {
  if (newest_ == block) return;
  Unlink(block);
  LinkNewest(block);
}

TBlock* TBlobFile::OldestEvictable() const {
  for (TBlock* block = oldest_; block != nullptr; block = block->newer_) {
    // Blocks of the read in progress stay: evicting them would throw away
    // the read-ahead that the caller is about to use.
    if (!block->dirty_ && block->pins_ == 0 && !InReadWindow(block->number_)) return block;
  }
  return nullptr;
}

void TBlobFile::RemoveEntry(TBlock* block) {
  const int index = FindIndex(block->number_);
  if (index < 0) RaiseTableError(FICHA_MEMOCORRUPT);
  Unlink(block);
  std::unique_ptr<TBlock> owned = std::move(list_[index]);
  list_.erase(list_.begin() + index);
  owned->file_ = nullptr;
  pool_.Give(std::move(owned));
}

TBlock* TBlobFile::MakeEntry(int32_t number) {
  if (list_.size() >= capacity_) {
    TBlock* victim = OldestEvictable();
    if (victim == nullptr && !owner_->InTransaction()) {
      FlushBlocks();
      victim = OldestEvictable();
    }
    if (victim != nullptr) {
      RemoveEntry(victim);
    } else {
      capacity_ += kCacheGrowth;
    }
  }
  std::unique_ptr<TBlock> entry = pool_.Take(BlockDataSize());
  entry->file_ = this;
  entry->number_ = number;
  TBlock* block = entry.get();
  auto it =
      std::lower_bound(list_.begin(), list_.end(), number,
                       [](const std::unique_ptr<TBlock>& b, int32_t n) { return b->number_ < n; });
  list_.insert(it, std::move(entry));
  LinkNewest(block);
  return block;
}

// --- blocks ---

void TBlobFile::DecodeBlock(TBlock* block, uint8_t* image) {
  if (encrypted_) {
    ScrambleBlock(image, kBlockHeaderSize);
    ScrambleBlock(image + kBlockHeaderSize, static_cast<size_t>(BlockDataSize()));
  }
  block->header_.Decode(image);
  std::memcpy(block->data_.data(), image + kBlockHeaderSize, static_cast<size_t>(BlockDataSize()));
}

void TBlobFile::ReadBlocks(int32_t first, int count) {
  const size_t bytes = static_cast<size_t>(count) * static_cast<size_t>(block_size_);
  Reserve(read_buffer_, bytes);
  int64_t got;
  {
    TFileAccess guard(*this);
    SeekTo(0, BlockOffset(first, block_size_));
    got = ReadData(read_buffer_.data(), static_cast<int64_t>(bytes), true);
  }
  ++counters_.reads;
  if (got < 0) RaiseTableError(FICHA_READERR);
  int whole = static_cast<int>(got / block_size_);
  if (whole == 0) {
    // The block lies past the end of the file on disk. That is only possible
    // for blocks this process appended and has not written yet.
    if (!owner_->ModifiedByThisProcess() || !(owner_->Exclusive() || owner_->InTransaction())) {
      RaiseTableError(FICHA_READERR);
    }
    std::memset(read_buffer_.data() + got, 0, static_cast<size_t>(block_size_ - got));
    whole = 1;
  }
  // The requested block is held while the others are added, so that a small
  // cache cannot evict it before the caller gets it.
  TPinnedBlock requested;
  struct WindowGuard {
    TBlobFile& file;
    ~WindowGuard() { file.read_first_ = file.read_count_ = 0; }
  } window{*this};
  read_first_ = first;
  read_count_ = whole;
  for (int i = 0; i < whole; ++i) {
    const int32_t number = first + i;
    uint8_t* image = read_buffer_.data() + static_cast<size_t>(i) * block_size_;
    TBlock* block = Find(number);
    if (block == nullptr) {
      block = MakeEntry(number);
      DecodeBlock(block, image);
    } else if (!block->dirty_ && block->pins_ == 0) {
      DecodeBlock(block, image);
    }
    if (i == 0) {
      ++block->pins_;
      requested = TPinnedBlock(block);
    }
  }
}

bool TBlobFile::GetBlock(TRequestingCursor* cursor, int32_t number, int read_ahead,
                         TPinnedBlock* block) {
  block->Release();
  ++counters_.requests;
  if (number <= 0) RaiseTableError(FICHA_MEMOCORRUPT);
  int32_t next = header_.NextBlock();
  if (number == next) {
    if (number > kMaxBlobBlocks ||
        kBlobHeaderSize + static_cast<int64_t>(number) * block_size_ > kMaxBlobFileBytes) {
      RaiseTableError(FICHA_TABLEFULL);
    }
    TBlock* appended = MakeEntry(number);
    ++appended->pins_;
    *block = TPinnedBlock(appended);
    // A new block exists on disk only once written.
    appended->MarkDirty();
    header_.SetNextBlock(number + 1);
    NoteHeaderChange();
    return true;
  }
  if (number > next) RaiseTableError(FICHA_MEMOCORRUPT);

  TBlock* found = nullptr;
  int looked = 0;
  for (TBlock* b = newest_; b != nullptr && looked < 4; b = b->older_, ++looked) {
    if (b->number_ == number) {
      found = b;
      break;
    }
  }
  if (found == nullptr) found = Find(number);
  if (found == nullptr) {
    if (cursor != nullptr && !owner_->StrictChangeDetection() && cursor->CheckChangesBeforeRead()) {
      return false;
    }
    next = header_.NextBlock();
    if (number >= next) RaiseTableError(FICHA_MEMOCORRUPT);
    // A read never brings in more blocks than the cache is meant to hold
    // (only a session budget below 16 KB makes this bind).
    const int count = std::min({blocks_per_read_, std::max(read_ahead, 1), next - number,
                                static_cast<int>(std::min<size_t>(limit_, 0x7FFFFFFF))});
    ReadBlocks(number, count);
    found = Find(number);
    if (found == nullptr) RaiseTableError(FICHA_MEMOCORRUPT);
  } else {
    ++counters_.hits;
  }
  Touch(found);
  ++found->pins_;
  *block = TPinnedBlock(found);
  return true;
}

TPinnedBlock TBlobFile::NewBlock() {
  TPinnedBlock block;
  const int32_t first_free = header_.FirstFreeBlock();
  if (first_free != 0) {
    const int32_t count = BlockCount();
    if (first_free < 0 || first_free > count) RaiseTableError(FICHA_MEMOCORRUPT);
    GetBlock(nullptr, first_free, 1, &block);
    // A block on the free chain that somebody holds is in use: the chain is
    // damaged, and handing it out would give one block to two blobs.
    if (block->pins_ > 1) RaiseTableError(FICHA_MEMOCORRUPT);
    const int32_t link = block->header_.next;
    if (link < 0 || link > count || link == first_free) RaiseTableError(FICHA_MEMOCORRUPT);
    header_.SetFirstFreeBlock(link);
  } else {
    GetBlock(nullptr, header_.NextBlock(), 1, &block);
  }
  block->Clear();
  block->MarkDirty();
  NoteHeaderChange();
  return block;
}

void TBlobFile::FreeBlock(TBlock* block) {
  const int32_t first_free = header_.FirstFreeBlock();
  // Freeing the head of the free chain again would make it point to itself.
  if (first_free == block->number_) RaiseTableError(FICHA_MEMOCORRUPT);
  block->header_.next = (first_free == 0 || first_free == header_.NextBlock()) ? 0 : first_free;
  header_.SetFirstFreeBlock(block->number_);
  block->MarkDirty();
  NoteHeaderChange();
}

std::vector<int32_t> TBlobFile::ChainBlocks(int32_t first, int32_t revision, bool repair,
                                            int first_mismatch) {
  std::vector<int32_t> chain;
  if (first == 0) return chain;
  const int32_t count = BlockCount();
  if (first < 0 || first > count) RaiseTableError(FICHA_MEMOCORRUPT);
  std::unordered_set<int32_t> seen;
  TPinnedBlock block;
  GetBlock(nullptr, first, 1, &block);
  const int64_t expected =
      std::max<int64_t>(1, BlocksForLength(std::max(block->header_.total, 0), block_size_));
  int32_t number = first;
  for (;;) {
    if (block->pins_ > 1) RaiseTableError(FICHA_MEMOCORRUPT);
    if (block->header_.revision != revision && !repair) {
      RaiseTableError(number == first ? first_mismatch : FICHA_MEMOCORRUPT);
    }
    chain.push_back(number);
    seen.insert(number);
    const int32_t next = block->header_.next;
    block.Release();
    if (next == 0) break;
    // A link outside the file, or back into the chain, would walk forever.
    if (next < 0 || next > count || seen.count(next) != 0) RaiseTableError(FICHA_MEMOCORRUPT);
    const int64_t remaining = expected - static_cast<int64_t>(chain.size());
    GetBlock(nullptr, next, static_cast<int>(std::clamp<int64_t>(remaining, 1, blocks_per_read_)),
             &block);
    number = next;
  }
  return chain;
}

void TBlobFile::FreeBlobChain(int32_t first, int32_t revision, bool repair) {
  const std::vector<int32_t> chain = ChainBlocks(first, revision, repair, FICHA_MEMOCORRUPT);
  TPinnedBlock block;
  for (size_t i = 0; i < chain.size(); ++i) {
    const int64_t remaining = static_cast<int64_t>(chain.size() - i);
    GetBlock(nullptr, chain[i],
             static_cast<int>(std::clamp<int64_t>(remaining, 1, blocks_per_read_)), &block);
    block->header_.revision = revision;
    FreeBlock(block.get());
    block.Release();
  }
}

bool TBlobFile::FlushBlocks() {
  const auto writable = [this](const TBlock* block) {
    return block->dirty_ && block->pins_ == 0 && !InReadWindow(block->number_);
  };
  bool wrote = false;
  size_t i = 0;
  while (i < list_.size()) {
    if (!writable(list_[i].get())) {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < list_.size() && writable(list_[end].get()) &&
           list_[end]->number_ == list_[end - 1]->number_ + 1) {
      ++end;
    }
    const size_t run = end - i;
    Reserve(write_buffer_, run * static_cast<size_t>(block_size_));
    for (size_t k = 0; k < run; ++k) {
      const TBlock* block = list_[i + k].get();
      uint8_t* image = write_buffer_.data() + k * static_cast<size_t>(block_size_);
      block->header_.Encode(image);
      std::memcpy(image + kBlockHeaderSize, block->data_.data(),
                  static_cast<size_t>(BlockDataSize()));
      if (encrypted_) {
        ScrambleBlock(image, kBlockHeaderSize);
        ScrambleBlock(image + kBlockHeaderSize, static_cast<size_t>(BlockDataSize()));
      }
    }
    {
      TFileAccess guard(*this);
      SeekTo(0, BlockOffset(list_[i]->number_, block_size_));
      WriteData(write_buffer_.data(), static_cast<int64_t>(run * block_size_));
    }
    ++counters_.writes;
    for (size_t k = i; k < end; ++k) list_[k]->dirty_ = false;
    wrote = true;
    i = end;
  }
  if (wrote) owner_->MarkModified();
  return wrote;
}

void TBlobFile::DiscardBlocks() {
  std::vector<std::unique_ptr<TBlock>> kept;
  for (std::unique_ptr<TBlock>& block : list_) {
    if (block->pins_ > 0) {
      block->dirty_ = false;
      kept.push_back(std::move(block));
    } else {
      block->file_ = nullptr;
      pool_.Give(std::move(block));
    }
  }
  list_ = std::move(kept);
  newest_ = oldest_ = nullptr;
  for (std::unique_ptr<TBlock>& block : list_) LinkNewest(block.get());
}

void TBlobFile::TrimBlockCache() {
  while (list_.size() > limit_) {
    TBlock* victim = OldestEvictable();
    if (victim == nullptr) break;
    RemoveEntry(victim);
  }
  capacity_ = std::max(list_.size(), limit_);
}

bool TBlobFile::FlushBuffers(bool write_header, bool force_os_flush, bool trim) {
  if (!IsOpen()) return false;
  if (owner_->InTransaction()) {
    if (write_header) MarkBlobHeaderChanged();
    return false;
  }
  bool wrote = FlushBlocks();
  if (WriteBlobHeader(write_header)) wrote = true;
  if (wrote && (force_os_flush || owner_->ForceBufferFlush())) FlushData();
  if (trim) TrimBlockCache();
  return wrote;
}

}  // namespace ficha
