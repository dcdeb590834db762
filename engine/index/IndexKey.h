// Index keys: building them from records, comparing and padding them.
//
// A key of an ordinary index is, for each key field in index order, a null
// byte (1 = has a value, 0 = null) and the field's order-preserving encoding
// (KeyEncoding.h), followed, for an index that is not unique, by the row
// identifier as a 4-byte integer key. With the language "ANSI Standard" keys
// compare as unsigned bytes; with any other language text fields compare
// with the locale comparison and everything else as bytes.
//
// The two system indexes have keys of their own: "Sys Deleted" (deleted
// flag + row identifier) and "Sys Text" (marker, field number, word, row
// identifier).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data/FieldDef.h"
#include "engine/index/IndexHeader.h"

namespace ficha {

// The text comparison and case folding of a table. Value type.
struct TKeyLanguage {
  uint16_t language = 0;
  uint16_t sort = 0;
  std::array<uint8_t, 256> sort_map{};  // identity for "ANSI Standard"

  bool IsAnsi() const { return language == 0; }

  // "ANSI Standard": byte order, identity sort map.
  static TKeyLanguage Ansi();
  // A table's language; fetches its sort map from the language layer.
  static TKeyLanguage For(uint16_t language, uint16_t sort);

  // Folds text to upper case with this language (English (USA) rules for
  // "ANSI Standard"); the length is kept.
  void FoldUpper(std::string& text) const;
  // Locale comparison of exactly n characters, case-sensitive; -1, 0, 1.
  // Byte order for "ANSI Standard".
  int CompareText(const uint8_t* a, const uint8_t* b, int n) const;
};

enum class TKeyKind : uint8_t { kOrdinary, kSysDeleted, kSysText };

// One key field resolved against the table's field definitions.
struct TKeyPart {
  TFieldDef field;
  int key_offset = 0;    // offset of the null byte within the key
  int value_length = 0;  // key length of the value (phys size; 8 for BCD)
  bool descending = false;
};

// The layout, comparison and padding rules of one index's keys. Value type;
// rebuilt whenever the index slot, the fields or the language change.
class TKeyDescriptor {
 public:
  TKeyDescriptor() = default;

  // Resolves index slot `slot_number` (0..32) against fields (in field-number
  // order, number i at position i - 1). With no fields at all only the
  // comparison rules that need no field layout are available (byte order);
  // BuildKey then REQUIRES a resolved descriptor. Returns 0 or a negated
  // error: 10023 for an unknown field number, 12292 for a blob key field (or
  // a non-text field of the text index), 10026 for a bad key size.
  int Resolve(const TIndexDef& slot, int slot_number, const std::vector<TFieldDef>& fields,
              const TKeyLanguage& language);

  // A result-table sort key: the given fields (each with its own descending
  // flag), a common case-insensitive flag, always followed by the row
  // identifier. Returns 0 or a negated error as Resolve.
  int ResolveSort(const std::vector<uint16_t>& field_numbers,
                  const std::vector<bool>& field_descending, bool case_insensitive,
                  const std::vector<TFieldDef>& fields, const TKeyLanguage& language);

  TKeyKind Kind() const { return kind_; }
  int KeySize() const { return key_size_; }
  bool Unique() const { return unique_; }
  bool Descending() const { return descending_; }
  bool CaseInsensitive() const { return case_insensitive_; }
  const std::vector<TKeyPart>& Parts() const { return parts_; }
  const TKeyLanguage& Language() const { return language_; }

  // Builds the key of record into key (KeySize() bytes, zero-filled first).
  // For the text index use BuildTextKey instead.
  void BuildKey(const uint8_t* record, uint8_t* key) const;

  // Compares the first n bytes' worth of two keys: -1, 0 or 1 in index order.
  int Compare(const uint8_t* a, const uint8_t* b, int n) const;
  int Compare(const uint8_t* a, const uint8_t* b) const { return Compare(a, b, key_size_); }

  // Turns the first `given` bytes of key into the smallest (lower) or
  // greatest (upper) complete key starting with them.
  void PadKey(uint8_t* key, int given, bool upper) const;

  // Key of the text index: marker 1, field number, word (folded by the
  // caller, at most 60 characters, zero-padded), row identifier.
  static void BuildTextKey(uint16_t field_number, std::string_view word, int32_t row_id,
                           uint8_t* key);

 private:
  int ResolveParts(const uint16_t* numbers, const uint8_t* descending, int count,
                   const std::vector<TFieldDef>& fields, bool text_index);

  TKeyKind kind_ = TKeyKind::kOrdinary;
  int key_size_ = 0;
  bool unique_ = true;
  bool descending_ = false;
  bool case_insensitive_ = false;
  bool resolved_ = false;
  std::vector<TKeyPart> parts_;
  TKeyLanguage language_ = TKeyLanguage::Ansi();
};

// Key bytes of the fields of an index: the sum of (key length + 1), or a
// negated error (10023 unknown field, 12292 blob field, 10026 when the sum
// is 0 or above 522). The text index accepts only string and memo fields.
int KeyFieldBytes(const uint16_t* numbers, int count, const std::vector<TFieldDef>& fields,
                  bool text_index);

// Key length of a field's value inside keys: its physical size, 8 for BCD.
int KeyValueLength(const TFieldDef& field);

// Byte comparison of n bytes as unsigned values: -1, 0, 1.
int CompareKeyBytes(const uint8_t* a, const uint8_t* b, int n);

}  // namespace ficha
