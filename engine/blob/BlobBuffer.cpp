#include "engine/blob/BlobBuffer.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "common/Fichacn.h"
#include "engine/blob/BlockHeader.h"

namespace ficha {

namespace {

// A load that keeps meeting changes by other programs gives up after this
// many fresh starts: the blob is being rewritten under it.
constexpr int kMaxLoadAttempts = 100;

int ReadAhead(int64_t blocks, int blocks_per_read) {
  return static_cast<int>(std::clamp<int64_t>(blocks, 1, blocks_per_read));
}

}  // namespace

TBlobBuffer::TBlobBuffer(TBlobFile* file, TRequestingCursor* cursor, int field_number,
                         TBlobReference reference)
    : file_(file),
      cursor_(cursor),
      revision_(reference.revision),
      field_number_(field_number),
      first_block_(reference.first_block) {}

bool TBlobBuffer::TryLoad() {
  content_.clear();
  if (first_block_ == 0) return true;
  const int32_t count = file_->BlockCount();
  if (first_block_ < 0 || first_block_ > count) file_->RaiseTableError(FICHA_MEMOCORRUPT);
  TPinnedBlock block;
  if (!file_->GetBlock(cursor_, first_block_, 1, &block)) return false;
  if (block->Header().revision != revision_) file_->RaiseTableError(FICHA_KEYORRECDELETED);
  const int32_t total = block->Header().total;
  if (total < 0) file_->RaiseTableError(FICHA_INVALIDBLOBLEN);
  const int data_size = file_->BlockDataSize();
  // No chain can be longer than the file; a larger length is a damaged one.
  if (static_cast<int64_t>(total) > static_cast<int64_t>(count) * data_size) {
    file_->RaiseTableError(FICHA_ENDOFBLOB);
  }
  content_.resize(static_cast<size_t>(total));
  std::unordered_set<int32_t> seen;
  int64_t position = 0;
  int32_t number = first_block_;
  for (;;) {
    const TBlockHeader& header = block->Header();
    if (block->Pins() > 1) file_->RaiseTableError(FICHA_MEMOCORRUPT);
    if (header.revision != revision_) file_->RaiseTableError(FICHA_KEYORRECDELETED);
    if (header.used > data_size) file_->RaiseTableError(FICHA_INVALIDBLOBLEN);
    const int64_t n = std::min<int64_t>({data_size, total - position, header.used});
    if (n > 0) std::memcpy(content_.data() + position, block->Data(), static_cast<size_t>(n));
    position += n;
    seen.insert(number);
    const int32_t next = header.next;
    block.Release();
    if (position >= total) break;
    if (next == 0) file_->RaiseTableError(FICHA_ENDOFBLOB);
    // A link outside the file, or back into the chain, would walk forever.
    if (next < 0 || next > count || seen.count(next) != 0) {
      file_->RaiseTableError(FICHA_MEMOCORRUPT);
    }
    const int64_t blocks_left = BlocksForLength(total - position, file_->BlockSize());
    if (!file_->GetBlock(cursor_, next, ReadAhead(blocks_left, file_->BlocksPerRead()), &block)) {
      return false;
    }
    number = next;
  }
  return true;
}

void TBlobBuffer::LoadBlob() {
  try {
    for (int attempt = 1;; ++attempt) {
      if (TryLoad()) break;
      if (attempt >= kMaxLoadAttempts) file_->RaiseTableError(FICHA_KEYORRECDELETED);
    }
  } catch (...) {
    content_.clear();
    loaded_ = false;
    throw;
  }
  loaded_ = true;
  modified_ = false;
}

void TBlobBuffer::SaveBlob(int32_t new_revision) {
  const int64_t length = Length();
  if (length == 0) {
    DeleteBlob();
    revision_ = new_revision;
    return;
  }
  // The old chain is checked whole before anything changes, so that a
  // damaged or foreign chain is refused without touching any block.
  const std::vector<int32_t> old_chain =
      file_->ChainBlocks(first_block_, revision_, false, FICHA_KEYORRECDELETED);
  std::unordered_set<int32_t> taken(old_chain.begin(), old_chain.end());

  const int data_size = file_->BlockDataSize();
  const int64_t needed = BlocksForLength(length, file_->BlockSize());
  const int64_t reused = std::min<int64_t>(needed, static_cast<int64_t>(old_chain.size()));
  // Block i of the new chain holds the bytes from i * (B - 18) on.
  const auto fill = [&](TBlock& block, int64_t i, int32_t prev, int32_t next) {
    const int64_t position = i * data_size;
    const int64_t n = std::min<int64_t>(data_size, length - position);
    TBlockHeader& header = block.Header();
    header.prev = prev;
    header.next = next;
    header.used = static_cast<uint16_t>(n);
    header.revision = new_revision;
    header.total = i == 0 ? static_cast<int32_t>(length) : 0;
    std::memcpy(block.Data(), content_.data() + position, static_cast<size_t>(n));
    std::memset(block.Data() + n, 0, static_cast<size_t>(data_size - n));
    block.MarkDirty();
    return n;
  };
  int64_t written = 0;

  // What the old chain cannot hold goes into new blocks first: when the file
  // is full or its free chain damaged, the save fails before any block of the
  // old chain is overwritten, and the stored blob stays readable.
  std::vector<int32_t> fresh;
  try {
    TPinnedBlock previous;
    for (int64_t i = reused; i < needed; ++i) {
      TPinnedBlock block = file_->NewBlock();
      fresh.push_back(block->Number());
      // The free chain handed out a block this blob already uses.
      if (!taken.insert(block->Number()).second) file_->RaiseTableError(FICHA_MEMOCORRUPT);
      const int32_t prev =
          previous ? previous->Number() : (i > 0 ? old_chain[static_cast<size_t>(i - 1)] : 0);
      written += fill(*block, i, prev, 0);
      if (previous) {
        previous->Header().next = block->Number();
        previous->MarkDirty();
      }
      previous = std::move(block);
    }
  } catch (...) {
    GiveBack(fresh);
    throw;
  }

  for (int64_t i = 0; i < reused; ++i) {
    const size_t k = static_cast<size_t>(i);
    TPinnedBlock block;
    file_->GetBlock(nullptr, old_chain[k], ReadAhead(reused - i, file_->BlocksPerRead()), &block);
    const int32_t prev = i > 0 ? old_chain[k - 1] : 0;
    const int32_t next = i + 1 < reused ? old_chain[k + 1] : (fresh.empty() ? 0 : fresh.front());
    written += fill(*block, i, prev, next);
  }
  if (written != length) file_->RaiseTableError(FICHA_ENDOFBLOB);
  const int32_t first = reused > 0 ? old_chain.front() : fresh.front();

  for (size_t i = static_cast<size_t>(reused); i < old_chain.size(); ++i) {
    TPinnedBlock block;
    file_->GetBlock(nullptr, old_chain[i],
                    ReadAhead(static_cast<int64_t>(old_chain.size() - i), file_->BlocksPerRead()),
                    &block);
    file_->FreeBlock(block.get());
  }
  first_block_ = first;
  revision_ = new_revision;
  modified_ = false;
}

void TBlobBuffer::GiveBack(const std::vector<int32_t>& blocks) {
  // In reverse, so that the free chain ends up as it was before they were
  // taken. A failure here only leaves blocks unused; the first error counts.
  try {
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
      TPinnedBlock block;
      file_->GetBlock(nullptr, *it, 1, &block);
      file_->FreeBlock(block.get());
    }
  } catch (...) {
  }
}

void TBlobBuffer::DeleteBlob() {
  file_->FreeBlobChain(first_block_, revision_, false);
  first_block_ = 0;
  content_.clear();
  modified_ = false;
}

void TBlobBuffer::Resize(int64_t length) {
  if (length < 0 || length > kMaxBlobLength) file_->RaiseTableError(FICHA_INVALIDBLOBLEN);
  content_.resize(static_cast<size_t>(length), 0);
}

int64_t TBlobBuffer::Read(int64_t offset, int64_t count, uint8_t* dest) const {
  if (offset < 0 || count <= 0 || offset >= Length()) return 0;
  const int64_t n = std::min(count, Length() - offset);
  std::memcpy(dest, content_.data() + offset, static_cast<size_t>(n));
  return n;
}

void TBlobBuffer::Write(int64_t offset, int64_t count, const uint8_t* source) {
  if (offset < 0 || count < 0 || offset > kMaxBlobLength - count) {
    file_->RaiseTableError(FICHA_INVALIDBLOBLEN);
  }
  if (count == 0) return;
  if (offset + count > Length()) Resize(offset + count);
  std::memcpy(content_.data() + offset, source, static_cast<size_t>(count));
}

void TBlobBuffer::KeepCopy() {
  copy_ = content_;
  copy_modified_ = modified_;
  has_copy_ = true;
}

void TBlobBuffer::RestoreCopy() {
  if (!has_copy_) return;
  content_ = copy_;
  modified_ = copy_modified_;
}

}  // namespace ficha
