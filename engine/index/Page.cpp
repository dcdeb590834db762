// Disk image of a B-tree page (4096 bytes at page number x 4096):
//
//   0   1     type: 0 root inner, 1 inner, 2 leaf, 3 root leaf, 4 raw data
//   1   2     number of entries (0 for a freed page)
//   3   4     previous page at the same level (0 = none)
//   7   4     next page at the same level; for a freed page the next free page
//   11  2     compressed size of the entries (compressed leaves only)
//   13  4083  entries, then zero fill
//
// With K the key size:
//   inner entry:         key[K] child[4] count[4]   (no count: text index and
//                                                    no-counts indexes)
//   leaf, uncompressed:  key[K] record[4]
//   leaf, compression 1: P key[P..K) record[4]      (P = leading bytes equal to
//                                                    the previous key, <= 254,
//                                                    0 for the first entry)
//   leaf, compression 2: T key[0..K-T) record[4]    (T = trailing zero bytes,
//                        <= 254; for a non-unique index T counts the zeros
//                        before the 4-byte row-identifier suffix, stored as
//                        key[0..K-4-T) key[K-4..K))
//   leaf, compression 3: P T key[P..K-T) record[4]  (both; T never reaches into
//                        the first P bytes; for a non-unique index with K-P >= 5
//                        the suffix is kept as in compression 2, with K-P < 5
//                        T is 0)
// All integers little-endian.
#include "engine/index/Page.h"

#include <algorithm>
#include <cstring>

#include "common/ErrorCodes.h"
#include "engine/index/IndexHeader.h"

namespace ficha {

namespace {
constexpr int kMaxPrefix = 254;
}  // namespace

void TPage::Reset(int32_t number, const TPageFormat& format) {
  format_ = format;
  number_ = number;
  type_ = kPageLeaf;
  count_ = 0;
  prev_ = 0;
  next_ = 0;
  dirty_ = false;
  pins_ = 0;
  freed_ = false;
  newer = nullptr;
  older = nullptr;
}

void TPage::Renew(const TPageFormat& format) {
  format_ = format;
  type_ = kPageLeaf;
  count_ = 0;
  prev_ = 0;
  next_ = 0;
  freed_ = false;
  dirty_ = true;
}

void TPage::Reserve(int count) {
  const size_t need = static_cast<size_t>(count) * SlotSize();
  if (entries_.size() >= need) return;
  // The buffer grows in 4096-byte steps.
  entries_.resize((need + 4095) / 4096 * 4096);
}

int32_t TPage::Value(int i) const { return GetI32(Slot(i) + format_.key_size); }
int32_t TPage::KeyCount(int i) const { return GetI32(Slot(i) + format_.key_size + 4); }
void TPage::SetValue(int i, int32_t value) { PutI32(Slot(i) + format_.key_size, value); }
void TPage::SetKeyCount(int i, int32_t count) { PutI32(Slot(i) + format_.key_size + 4, count); }
void TPage::ReplaceKey(int i, const uint8_t* key) {
  std::memmove(Slot(i), key, static_cast<size_t>(format_.key_size));
}

void TPage::InsertEntry(int pos, const uint8_t* key, int32_t value, int32_t count) {
  Reserve(count_ + 1);
  uint8_t* at = Slot(pos);
  std::memmove(at + SlotSize(), at, static_cast<size_t>(count_ - pos + 1) * SlotSize());
  std::memcpy(at, key, static_cast<size_t>(format_.key_size));
  ++count_;
  SetValue(pos, value);
  SetKeyCount(pos, count);
  at[format_.key_size + 8] = 0;
  at[format_.key_size + 9] = 0;
}

void TPage::RemoveEntry(int pos) {
  uint8_t* at = Slot(pos);
  std::memmove(at, at + SlotSize(), static_cast<size_t>(count_ - pos) * SlotSize());
  --count_;
}

void TPage::MoveEntriesTo(TPage& dest, int from, int n, int at) {
  if (n <= 0) return;
  dest.Reserve(dest.count_ + n);
  uint8_t* d = dest.Slot(at);
  std::memmove(d + static_cast<size_t>(n) * SlotSize(), d,
               static_cast<size_t>(dest.count_ - at + 1) * SlotSize());
  std::memcpy(d, Slot(from), static_cast<size_t>(n) * SlotSize());
  dest.count_ += n;
  uint8_t* s = Slot(from);
  std::memmove(s, s + static_cast<size_t>(n) * SlotSize(),
               static_cast<size_t>(count_ - from - n + 1) * SlotSize());
  count_ -= n;
}

int64_t TPage::Total() const {
  if (IsLeaf()) return count_;
  int64_t sum = 0;
  for (int i = 1; i <= count_; ++i) sum += KeyCount(i);
  return sum;
}

int TPage::Capacity() const {
  const int k = format_.key_size;
  if (IsLeaf()) return kPageDataSize / (k + 4);
  return kPageDataSize / (k + (format_.no_counts ? 4 : 8));
}

void TPage::CompressionLengths(const uint8_t* prev, const uint8_t* key, int* p, int* t) const {
  const int k = format_.key_size;
  const int mode = format_.compression;
  int prefix = 0;
  if (prev != nullptr && (mode == 1 || mode == 3)) {
    const int limit = std::min(k, kMaxPrefix);
    while (prefix < limit && prev[prefix] == key[prefix]) ++prefix;
  }
  int trailing = 0;
  if (mode == 2 || mode == 3) {
    // The zero run is counted backwards from the end of the compressible
    // part: the whole key, or the key without its row-identifier suffix.
    int end = k;
    int floor = mode == 3 ? prefix : 0;
    if (!format_.unique) {
      if (mode == 3 && k - prefix < 5) {
        end = floor;  // nothing left to trim
      } else {
        end = k - 4;
      }
    }
    while (end - 1 - trailing >= floor && trailing < kMaxPrefix && key[end - 1 - trailing] == 0)
      ++trailing;
  }
  *p = prefix;
  *t = trailing;
}

int TPage::EntrySize(const uint8_t* prev, const uint8_t* key) const {
  int p, t;
  CompressionLengths(prev, key, &p, &t);
  const int k = format_.key_size;
  switch (format_.compression) {
    case 1:
      return 1 + (k - p) + 4;
    case 2:
      return 1 + (k - t) + 4;
    default:
      return 2 + (k - p - t) + 4;
  }
}

int TPage::EncodedSize(int from, int to) const {
  if (!IsCompressedLeaf()) {
    const int per =
        IsLeaf() ? format_.key_size + 4 : format_.key_size + (format_.no_counts ? 4 : 8);
    return (to - from + 1) * per;
  }
  int size = 0;
  for (int i = from; i <= to; ++i) size += EntrySize(i == from ? nullptr : Key(i - 1), Key(i));
  return size;
}

bool TPage::Overflows() const {
  if (IsCompressedLeaf()) return EncodedSize() > kPageDataSize;
  return count_ > Capacity();
}

void TPage::Encode(uint8_t* image) const {
  std::memset(image, 0, 4096);
  image[0] = type_;
  const int count = freed_ ? 0 : count_;
  PutU16(image + 1, static_cast<uint16_t>(count));
  PutI32(image + 3, prev_);
  PutI32(image + 7, next_);
  if (count == 0) return;
  uint8_t* out = image + kPageHeaderSize;
  const int k = format_.key_size;
  if (!IsLeaf()) {
    for (int i = 1; i <= count; ++i) {
      std::memcpy(out, Key(i), static_cast<size_t>(k));
      PutI32(out + k, Value(i));
      out += k + 4;
      if (!format_.no_counts) {
        PutI32(out, KeyCount(i));
        out += 4;
      }
    }
    return;
  }
  if (format_.compression == 0) {
    for (int i = 1; i <= count; ++i) {
      std::memcpy(out, Key(i), static_cast<size_t>(k));
      PutI32(out + k, Value(i));
      out += k + 4;
    }
    return;
  }
  const uint8_t* start = out;
  const uint8_t* limit = image + 4096;
  for (int i = 1; i <= count; ++i) {
    const uint8_t* key = Key(i);
    int p, t;
    CompressionLengths(i == 1 ? nullptr : Key(i - 1), key, &p, &t);
    uint8_t buffer[kMaxKeySize + 8];
    int n = 0;
    if (format_.compression != 2) buffer[n++] = static_cast<uint8_t>(p);
    if (format_.compression != 1) buffer[n++] = static_cast<uint8_t>(t);
    const bool split_suffix = !format_.unique && t > 0;
    if (split_suffix) {
      std::memcpy(buffer + n, key + p, static_cast<size_t>(k - 4 - t - p));
      n += k - 4 - t - p;
      std::memcpy(buffer + n, key + k - 4, 4);
      n += 4;
    } else {
      std::memcpy(buffer + n, key + p, static_cast<size_t>(k - t - p));
      n += k - t - p;
    }
    PutI32(buffer + n, Value(i));
    n += 4;
    // An overflowing page is never written; the caller splits it first.
    if (out + n > limit) break;
    std::memcpy(out, buffer, static_cast<size_t>(n));
    out += n;
  }
  PutU16(image + 11, static_cast<uint16_t>(out - start));
}

int TPage::DecodeCompressed(const uint8_t* data, int size, int count) {
  const int k = format_.key_size;
  const int mode = format_.compression;
  int pos = 0;
  Reserve(count);
  for (int i = 1; i <= count; ++i) {
    int p = 0, t = 0;
    if (mode != 2) {
      if (pos >= size) return -FICHA_INDEXCORRUPT;
      p = data[pos++];
    }
    if (mode != 1) {
      if (pos >= size) return -FICHA_INDEXCORRUPT;
      t = data[pos++];
    }
    if (p > k || (i == 1 && p != 0) || t > k - p) return -FICHA_INDEXCORRUPT;
    const bool split_suffix = !format_.unique && t > 0;
    if (split_suffix && (k - p < 5 || t > k - 4 - p)) return -FICHA_INDEXCORRUPT;
    const int stored = k - p - t;
    if (pos + stored + 4 > size) return -FICHA_INDEXCORRUPT;
    uint8_t* slot = Slot(i);
    if (p > 0) std::memcpy(slot, Slot(i - 1), static_cast<size_t>(p));
    if (split_suffix) {
      const int head = k - 4 - t - p;
      std::memcpy(slot + p, data + pos, static_cast<size_t>(head));
      std::memset(slot + p + head, 0, static_cast<size_t>(t));
      std::memcpy(slot + k - 4, data + pos + head, 4);
    } else {
      std::memcpy(slot + p, data + pos, static_cast<size_t>(stored));
      std::memset(slot + p + stored, 0, static_cast<size_t>(t));
    }
    pos += stored;
    count_ = i;
    SetValue(i, GetI32(data + pos));
    SetKeyCount(i, 0);
    pos += 4;
  }
  return 0;
}

int TPage::Decode(const uint8_t* image) {
  const uint8_t type = image[0];
  const int count = GetU16(image + 1);
  prev_ = GetI32(image + 3);
  next_ = GetI32(image + 7);
  const int compressed_size = GetU16(image + 11);
  count_ = 0;
  if (type > kPageRootLeaf) return -FICHA_INDEXCORRUPT;
  type_ = type;
  if (count == 0) {
    freed_ = true;
    return 0;
  }
  freed_ = false;
  const uint8_t* data = image + kPageHeaderSize;
  const int k = format_.key_size;
  if (IsCompressedLeaf()) {
    if (compressed_size > kPageDataSize) return -FICHA_INDEXCORRUPT;
    // Each encoded entry takes at least its record number and one length
    // byte, which bounds the count before anything is expanded.
    if (count > compressed_size / 5) return -FICHA_INDEXCORRUPT;
    const int r = DecodeCompressed(data, compressed_size, count);
    if (r < 0) count_ = 0;
    return r;
  }
  if (count > Capacity()) return -FICHA_INDEXCORRUPT;
  Reserve(count);
  const bool counts = !IsLeaf() && !format_.no_counts;
  for (int i = 1; i <= count; ++i) {
    uint8_t* slot = Slot(i);
    std::memcpy(slot, data, static_cast<size_t>(k));
    count_ = i;
    SetValue(i, GetI32(data + k));
    data += k + 4;
    if (counts) {
      SetKeyCount(i, GetI32(data));
      data += 4;
    } else {
      SetKeyCount(i, 0);
    }
  }
  return 0;
}

}  // namespace ficha
