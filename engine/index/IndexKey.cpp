#include "engine/index/IndexKey.h"

#include <algorithm>
#include <cstring>

#include "common/ErrorCodes.h"
#include "engine/data/BcdField.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "engine/index/KeyEncoding.h"

namespace ficha {

namespace {

constexpr int kTextWordOffset = 3;
constexpr int kTextWordBytes = 61;  // 60 characters and the terminating zero
constexpr int kTextRowIdOffset = 64;

bool IsTextIndexField(const TFieldDef& f) {
  return f.type == kFldString || (f.type == kFldBlob && f.subtype == kSubMemo);
}

}  // namespace

int CompareKeyBytes(const uint8_t* a, const uint8_t* b, int n) {
  // Keys are short: eight bytes at a time, read big-endian so that the
  // integer order is the byte order, beat a library call.
  while (n >= 8) {
    uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    if (x != y) return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
    a += 8;
    b += 8;
    n -= 8;
  }
  for (int i = 0; i < n; ++i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

int KeyValueLength(const TFieldDef& field) { return field.type == kFldBcd ? 8 : field.phys_size; }

int KeyFieldBytes(const uint16_t* numbers, int count, const std::vector<TFieldDef>& fields,
                  bool text_index) {
  int sum = 0;
  for (int i = 0; i < count; ++i) {
    const uint16_t n = numbers[i];
    if (n < 1 || n > fields.size()) return -FICHA_INVALIDIDXDESC;
    const TFieldDef& f = fields[n - 1];
    if (text_index) {
      if (!IsTextIndexField(f)) return -FICHA_SEARCHCOLREQD;
      continue;
    }
    if (f.type == kFldBlob) return -FICHA_SEARCHCOLREQD;
    sum += KeyValueLength(f) + 1;
  }
  if (text_index) return kSysTextKeySize - 4;
  if (sum == 0 || sum > kMaxKeyFieldBytes) return -FICHA_INVALIDKEY;
  return sum;
}

int TKeyDescriptor::ResolveParts(const uint16_t* numbers, const uint8_t* descending, int count,
                                 const std::vector<TFieldDef>& fields, bool text_index) {
  parts_.clear();
  const int sum = KeyFieldBytes(numbers, count, fields, text_index);
  if (sum < 0) return sum;
  if (text_index) return 0;  // the text index's key layout does not follow its fields
  int offset = 0;
  for (int i = 0; i < count; ++i) {
    TKeyPart part;
    part.field = fields[numbers[i] - 1];
    part.key_offset = offset;
    part.value_length = KeyValueLength(part.field);
    part.descending = descending[i] != 0;
    offset += part.value_length + 1;
    parts_.push_back(part);
  }
  return offset;
}

int TKeyDescriptor::Resolve(const TIndexDef& slot, int slot_number,
                            const std::vector<TFieldDef>& fields, const TKeyLanguage& language) {
  *this = TKeyDescriptor();
  language_ = language;
  key_size_ = slot.key_size;
  unique_ = slot.unique;
  descending_ = slot.descending;
  case_insensitive_ = slot.case_insensitive;
  if (slot_number == kSysDeletedIndex) {
    kind_ = TKeyKind::kSysDeleted;
    key_size_ = kSysDeletedKeySize;
    resolved_ = true;
    return 0;
  }
  if (slot_number == kSysTextIndex) {
    kind_ = TKeyKind::kSysText;
    key_size_ = kSysTextKeySize;
    resolved_ = true;
    if (fields.empty() || slot.field_count == 0) return 0;
    return ResolveParts(slot.field_numbers.data(), slot.field_descending.data(),
                        std::min<int>(slot.field_count, kMaxKeyFields), fields, true);
  }
  // Pages are laid out by the key size, so a size no index can have is
  // refused even when the fields are not known.
  if (slot.key_size > kMaxKeySize) return -FICHA_INVALIDKEY;
  if (fields.empty()) return 0;
  if (slot.field_count > kMaxKeyFields) return -FICHA_INDEXLIMIT;
  const int sum = ResolveParts(slot.field_numbers.data(), slot.field_descending.data(),
                               slot.field_count, fields, false);
  if (sum < 0) return sum;
  if (sum + (unique_ ? 0 : 4) != key_size_) return -FICHA_INVALIDKEY;
  resolved_ = true;
  return 0;
}

int TKeyDescriptor::ResolveSort(const std::vector<uint16_t>& field_numbers,
                                const std::vector<bool>& field_descending, bool case_insensitive,
                                const std::vector<TFieldDef>& fields,
                                const TKeyLanguage& language) {
  *this = TKeyDescriptor();
  language_ = language;
  unique_ = false;
  case_insensitive_ = case_insensitive;
  const int count = static_cast<int>(field_numbers.size());
  if (count > kMaxKeyFields) return -FICHA_INDEXLIMIT;
  std::vector<uint8_t> desc(count);
  for (int i = 0; i < count; ++i)
    desc[i] = i < static_cast<int>(field_descending.size()) && field_descending[i];
  const int sum = ResolveParts(field_numbers.data(), desc.data(), count, fields, false);
  if (sum < 0) return sum;
  key_size_ = sum + 4;
  resolved_ = true;
  return 0;
}

void TKeyDescriptor::BuildKey(const uint8_t* record, uint8_t* key) const {
  std::memset(key, 0, static_cast<size_t>(key_size_));
  if (kind_ == TKeyKind::kSysDeleted) {
    key[0] = record[kRecordDeletedOffset];
    EncodeKeyInt32(RecordRowId(record), key + 1);
    return;
  }
  for (const TKeyPart& part : parts_) {
    uint8_t* out = key + part.key_offset;
    const TFieldDef& f = part.field;
    const bool has_value = !FieldIsNull(record, f);
    out[0] = has_value ? 1 : 0;
    uint8_t* value = out + 1;
    if (has_value) {
      const uint8_t* in = FieldValue(record, f);
      switch (f.type) {
        case kFldString: {
          // The text up to its terminator; the last byte always stays zero.
          size_t len = 0;
          while (len + 1 < f.phys_size && in[len] != 0) ++len;
          if (case_insensitive_) {
            std::string text(reinterpret_cast<const char*>(in), len);
            language_.FoldUpper(text);
            std::memcpy(value, text.data(), std::min(len, text.size()));
          } else {
            std::memcpy(value, in, len);
          }
          break;
        }
        case kFldDate:
        case kFldInteger:
        case kFldTime:
          EncodeKeyInt32(GetI32(in), value);
          break;
        case kFldSmallInt:
          EncodeKeyInt16(GetI16(in), value);
          break;
        case kFldBoolean:
          EncodeKeyUInt16(GetU16(in) != 0 ? 1 : 0, value);
          break;
        case kFldWord:
          EncodeKeyUInt16(GetU16(in), value);
          break;
        case kFldLargeInt:
          EncodeKeyInt64(GetI64(in), value);
          break;
        case kFldBcd: {
          int64_t scaled = 0;
          GetBcdValue(in, &scaled);  // an invalid image keys as zero
          EncodeKeyInt64(scaled, value);
          break;
        }
        case kFldFloat:
        case kFldTimestamp:
          EncodeKeyDouble(GetF64(in), value);
          break;
        default:
          std::memcpy(value, in, static_cast<size_t>(part.value_length));
          break;
      }
    }
    // "ANSI Standard" keys carry a descending field's order in their bytes;
    // a string keeps its final terminator byte as it is.
    if (part.descending && !descending_ && language_.IsAnsi()) {
      int n = 1 + part.value_length;
      if (f.type == kFldString) --n;
      for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(~out[i]);
    }
  }
  if (!unique_) EncodeKeyInt32(RecordRowId(record), key + key_size_ - 4);
}

void TKeyDescriptor::BuildTextKey(uint16_t field_number, std::string_view word, int32_t row_id,
                                  uint8_t* key) {
  std::memset(key, 0, kSysTextKeySize);
  key[0] = 1;
  EncodeKeyUInt16(field_number, key + 1);
  const size_t len = std::min<size_t>(word.size(), kTextWordBytes - 1);
  std::memcpy(key + kTextWordOffset, word.data(), len);
  EncodeKeyInt32(row_id, key + kTextRowIdOffset);
}

int TKeyDescriptor::Compare(const uint8_t* a, const uint8_t* b, int n) const {
  if (n > key_size_) n = key_size_;
  switch (kind_) {
    case TKeyKind::kSysDeleted:
      return CompareKeyBytes(a, b, n);
    case TKeyKind::kSysText: {
      int r = CompareKeyBytes(a, b, std::min(n, kTextWordOffset));
      if (r != 0 || n <= kTextWordOffset) return r;
      const int words = std::min(n - kTextWordOffset, kTextWordBytes);
      r = language_.CompareText(a + kTextWordOffset, b + kTextWordOffset, words);
      if (r != 0 || n <= kTextRowIdOffset) return r;
      return CompareKeyBytes(a + kTextRowIdOffset, b + kTextRowIdOffset, n - kTextRowIdOffset);
    }
    case TKeyKind::kOrdinary:
      break;
  }
  if (language_.IsAnsi()) {
    const int r = CompareKeyBytes(a, b, n);
    return descending_ ? -r : r;
  }
  int s = 0;
  for (const TKeyPart& part : parts_) {
    if (s >= n) break;
    const bool desc = descending_ || part.descending;
    int r;
    if (part.field.type == kFldString) {
      r = CompareKeyBytes(a + s, b + s, 1);
      if (r == 0 && n - s - 1 > 0) {
        const int len = std::min(part.value_length, n - s - 1);
        r = language_.CompareText(a + s + 1, b + s + 1, len);
      }
    } else {
      r = CompareKeyBytes(a + s, b + s, std::min(part.value_length + 1, n - s));
    }
    if (r != 0) return desc ? -r : r;
    s += part.value_length + 1;
  }
  if (s >= n) return 0;
  const int r = CompareKeyBytes(a + s, b + s, n - s);
  return descending_ ? -r : r;
}

void TKeyDescriptor::PadKey(uint8_t* key, int given, bool upper) const {
  const uint8_t fill = upper ? 0xFF : 0x00;
  if (given < 0) given = 0;
  if (given >= key_size_) return;
  const uint8_t text_fill = upper ? language_.sort_map[255] : language_.sort_map[0];
  if (kind_ == TKeyKind::kSysText) {
    for (int i = given; i < key_size_; ++i) {
      const bool word = i >= kTextWordOffset && i < kTextRowIdOffset;
      key[i] = word ? text_fill : fill;
    }
    return;
  }
  if (kind_ == TKeyKind::kSysDeleted || language_.IsAnsi()) {
    std::memset(key + given, fill, static_cast<size_t>(key_size_ - given));
    return;
  }
  int end = 0;
  for (const TKeyPart& part : parts_) {
    const int start = part.key_offset;
    end = start + 1 + part.value_length;
    if (end <= given) continue;
    // The null byte compares as a byte, so it takes 0x00 or 0xFF even in a
    // string field; a sort-map character there would put the bound past
    // (or before) every key with a value or a null in that field.
    const bool text = part.field.type == kFldString;
    for (int i = std::max(given, start); i < end; ++i)
      key[i] = (text && i > start) ? text_fill : fill;
  }
  for (int i = std::max(given, end); i < key_size_; ++i) key[i] = fill;
}

}  // namespace ficha
