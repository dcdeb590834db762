#include "lib/bitmap/RecordsBitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace ficha {

// The bits are kept in 64-bit words on a little-endian machine, so byte
// (r - 1) div 8 holds record r exactly as the 32-bit word layout does. The
// 32-bit word count still bounds every whole-word operation: when it is odd,
// only the low half of the last 64-bit word belongs to the bitmap.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr uint64_t kLowHalf = 0xFFFFFFFFull;

int64_t RoundUp(int64_t value, int64_t step) { return (value + step - 1) / step * step; }

}  // namespace

TRecordsBitmap::TRecordsBitmap() = default;

TRecordsBitmap::~TRecordsBitmap() { delete[] words_; }

void TRecordsBitmap::Allocate(int64_t bytes) {
  if (bytes <= 0) {
    delete[] words_;
    words_ = nullptr;
    allocated_ = 0;
    return;
  }
  int64_t rounded = RoundUp(bytes, kAllocationStep);
  if (rounded <= allocated_) return;
  uint64_t* grown = new uint64_t[rounded / 8]();
  if (words_ != nullptr) std::memcpy(grown, words_, static_cast<size_t>(allocated_));
  delete[] words_;
  words_ = grown;
  allocated_ = static_cast<int32_t>(rounded);
}

void TRecordsBitmap::SetSize(int32_t new_size) {
  if (new_size < 0) new_size = 0;
  // The capacity must stay a positive 32-bit number.
  if (new_size > INT32_MAX - 31) new_size = INT32_MAX - 31;
  if (new_size == size_) return;
  int32_t capacity = static_cast<int32_t>(RoundUp(new_size, 32));
  // Allocate first: when it throws, the bitmap keeps the size its buffer
  // holds.
  Allocate(static_cast<int64_t>(capacity / 32) * 4);
  size_ = new_size;
  capacity_ = capacity;
  word_count_ = capacity / 32;
}

bool TRecordsBitmap::IsMember(int32_t record) const {
  if (record < 1 || record > capacity_) return false;
  uint32_t bit = static_cast<uint32_t>(record - 1);
  return (words_[bit >> 6] >> (bit & 63)) & 1;
}

void TRecordsBitmap::Include(int32_t record) {
  if (record < 1 || record > capacity_) return;
  uint32_t bit = static_cast<uint32_t>(record - 1);
  words_[bit >> 6] |= uint64_t{1} << (bit & 63);
}

void TRecordsBitmap::Exclude(int32_t record) {
  if (record < 1 || record > capacity_) return;
  uint32_t bit = static_cast<uint32_t>(record - 1);
  words_[bit >> 6] &= ~(uint64_t{1} << (bit & 63));
}

// Set bits among the first `records` records (records <= capacity). Built
// twice, the copy for processors with a population-count instruction chosen
// at load time: the portable one is several times slower.
__attribute__((target_clones("popcnt", "default"))) static int32_t CountFirst(const uint64_t* words,
                                                                              int32_t records) {
  int32_t full = records / 64;
  int32_t count = 0;
  for (int32_t i = 0; i < full; ++i) count += std::popcount(words[i]);
  int32_t rest = records % 64;
  if (rest > 0) count += std::popcount(words[full] & ((uint64_t{1} << rest) - 1));
  return count;
}

int32_t TRecordsBitmap::MemberCount() const {
  if (size_ == 0) return 0;
  return CountFirst(words_, size_);
}

int32_t TRecordsBitmap::MembersBefore(int32_t n) const {
  if (n < 2 || size_ == 0) return 0;
  // Records past the size are never members.
  return CountFirst(words_, std::min(n - 1, size_));
}

bool TRecordsBitmap::NextMembers(int32_t* position, int32_t wanted, int32_t* counter,
                                 int32_t* found_out) const {
  int32_t found = 0;
  auto done = [&](bool reached) {
    if (found_out != nullptr) *found_out = found;
    return reached;
  };
  if (wanted < 1) return done(true);
  int64_t start = std::max<int64_t>(int64_t{*position} + 1, 1);
  if (start > size_) return done(false);
  auto word32 = [&](int64_t i) { return static_cast<uint32_t>(words_[i >> 1] >> ((i & 1) * 32)); };
  int64_t words = (int64_t{size_} + 31) / 32;  // words holding records 1..size
  int64_t i = (start - 1) / 32;
  uint32_t bits = word32(i) & (~uint32_t{0} << ((start - 1) % 32));
  for (;;) {
    // Members of word i from the start bit on, in ascending order.
    while (bits != 0) {
      int64_t record = i * 32 + std::countr_zero(bits) + 1;
      if (record > size_) return done(false);
      *position = static_cast<int32_t>(record);
      ++*counter;
      if (++found == wanted) return done(true);
      bits &= bits - 1;
    }
    ++i;
    // Whole words of members within the size, while more than a word is
    // still wanted: counted without visiting their records.
    while (i < words && (i + 1) * 32 <= size_ && word32(i) == ~uint32_t{0} && found + 32 < wanted) {
      found += 32;
      *counter += 32;
      ++i;
    }
    // Whole empty words, two at a time where aligned.
    while (i < words) {
      if (!(i & 1) && i + 1 < words && words_[i >> 1] == 0) {
        i += 2;
      } else if (word32(i) == 0) {
        ++i;
      } else {
        break;
      }
    }
    if (i >= words) return done(false);
    bits = word32(i);
  }
}

bool TRecordsBitmap::PriorMembers(int32_t* position, int32_t wanted, int32_t* counter,
                                  int32_t* found_out) const {
  int32_t found = 0;
  auto done = [&](bool reached) {
    if (found_out != nullptr) *found_out = found;
    return reached;
  };
  if (*position < 2) return done(false);
  if (wanted < 1) return done(true);
  // Records past the size are never members.
  int64_t start = std::min<int64_t>(int64_t{*position} - 1, size_);
  if (start < 1) return done(false);
  auto word32 = [&](int64_t i) { return static_cast<uint32_t>(words_[i >> 1] >> ((i & 1) * 32)); };
  int64_t i = (start - 1) / 32;
  int shift = 31 - static_cast<int>((start - 1) % 32);
  uint32_t bits = word32(i) & (~uint32_t{0} >> shift);
  for (;;) {
    // Members of word i up to the start bit, in descending order.
    while (bits != 0) {
      int top = 31 - std::countl_zero(bits);
      *position = static_cast<int32_t>(i * 32 + top + 1);
      --*counter;
      if (++found == wanted) return done(true);
      bits &= ~(uint32_t{1} << top);
    }
    --i;
    while (i >= 0 && word32(i) == ~uint32_t{0} && found + 32 < wanted) {
      found += 32;
      *counter -= 32;
      --i;
    }
    while (i >= 0) {
      if ((i & 1) && words_[i >> 1] == 0) {
        i -= 2;
      } else if (word32(i) == 0) {
        --i;
      } else {
        break;
      }
    }
    if (i < 0) return done(false);
    bits = word32(i);
  }
}

void TRecordsBitmap::IntersectWith(const TRecordsBitmap& other) {
  // Words the other bitmap lacks hold none of its members.
  int32_t common = std::min(word_count_, other.word_count_);
  int32_t pairs = common / 2;
  for (int32_t i = 0; i < pairs; ++i) words_[i] &= other.words_[i];
  if (common & 1) words_[pairs] &= other.words_[pairs] | ~kLowHalf;
  for (int32_t w = common; w < word_count_; ++w) {
    words_[w >> 1] &= (w & 1) ? kLowHalf : ~kLowHalf;
  }
}

void TRecordsBitmap::UniteWith(const TRecordsBitmap& other) {
  int32_t common = std::min(word_count_, other.word_count_);
  int32_t pairs = common / 2;
  for (int32_t i = 0; i < pairs; ++i) words_[i] |= other.words_[i];
  if (common & 1) words_[pairs] |= other.words_[pairs] & kLowHalf;
}

void TRecordsBitmap::Invert() {
  int32_t pairs = word_count_ / 2;
  for (int32_t i = 0; i < pairs; ++i) words_[i] = ~words_[i];
  if (word_count_ & 1) words_[pairs] ^= kLowHalf;
}

void TRecordsBitmap::ClearAll() {
  if (allocated_ > 0) std::memset(words_, 0, static_cast<size_t>(allocated_));
}

void TRecordsBitmap::SetAll() {
  if (allocated_ > 0) std::memset(words_, 0xFF, static_cast<size_t>(allocated_));
}

void TRecordsBitmap::Assign(const TRecordsBitmap& other) {
  if (&other == this) return;
  Allocate(other.allocated_);
  size_ = other.size_;
  capacity_ = other.capacity_;
  word_count_ = other.word_count_;
  if (other.allocated_ == 0) return;
  std::memcpy(words_, other.words_, static_cast<size_t>(other.allocated_));
  // Bytes past the other's buffer would turn into members when this bitmap
  // grows again: a copy holds the other's records only.
  std::memset(reinterpret_cast<uint8_t*>(words_) + other.allocated_, 0,
              static_cast<size_t>(allocated_ - other.allocated_));
}

}  // namespace ficha
