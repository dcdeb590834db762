#include "engine/index/IndexKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/ErrorCodes.h"
#include "engine/data/BcdField.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "engine/index/KeyEncoding.h"

namespace ficha {
namespace {

std::string Hex(const uint8_t* p, int n) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (int i = 0; i < n; ++i) {
    if (i) s += ' ';
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

TFieldDef Field(uint16_t number, uint8_t type, uint8_t size = 0, uint8_t subtype = 0) {
  TFieldDef f;
  f.number = number;
  f.name = "F" + std::to_string(number);
  f.type = type;
  f.size = size;
  f.subtype = subtype;
  return f;
}

// A table's fields with their record layout, and records built on it.
struct Table {
  std::vector<TFieldDef> fields;
  size_t record_size = 0;

  explicit Table(std::vector<TFieldDef> defs) : fields(std::move(defs)) {
    record_size = static_cast<size_t>(AssignFieldLayout(fields));
  }
  std::vector<uint8_t> Record(int32_t row_id) const {
    std::vector<uint8_t> r(record_size, 0);
    SetRecordRowId(r.data(), row_id);
    return r;
  }
  void SetInt(std::vector<uint8_t>& r, int field, int32_t v) const {
    SetFieldHasValue(r.data(), fields[field - 1], true);
    PutI32(FieldValue(r.data(), fields[field - 1]), v);
  }
  void SetText(std::vector<uint8_t>& r, int field, const std::string& v) const {
    SetFieldHasValue(r.data(), fields[field - 1], true);
    std::memcpy(FieldValue(r.data(), fields[field - 1]), v.c_str(), v.size() + 1);
  }
};

TIndexDef IndexOn(std::vector<uint16_t> numbers, const Table& t, bool unique,
                  std::vector<uint8_t> descending = {}) {
  TIndexDef d;
  d.name = "IDX";
  d.unique = unique;
  d.field_count = static_cast<uint8_t>(numbers.size());
  for (size_t i = 0; i < numbers.size(); ++i) {
    d.field_numbers[i] = numbers[i];
    d.field_descending[i] = i < descending.size() ? descending[i] : 0;
  }
  const int sum = KeyFieldBytes(d.field_numbers.data(), d.field_count, t.fields, false);
  d.key_size = static_cast<uint16_t>(sum + (unique ? 0 : 4));
  return d;
}

TEST(KeyEncoding, IntegerAndDoubleBytes) {
  uint8_t b[8];
  const struct {
    int32_t value;
    const char* hex;
  } ints[] = {{-1, "7F FF FF FF"}, {0, "80 00 00 00"}, {1, "80 00 00 01"}};
  for (const auto& c : ints) {
    EncodeKeyInt32(c.value, b);
    EXPECT_EQ(Hex(b, 4), c.hex) << c.value;
    EXPECT_EQ(DecodeKeyInt32(b), c.value);
  }
  const struct {
    double value;
    const char* hex;
  } doubles[] = {{-1.0, "40 0F FF FF FF FF FF FF"},
                 {0.0, "80 00 00 00 00 00 00 00"},
                 {-0.0, "80 00 00 00 00 00 00 00"},
                 {1.0, "BF F0 00 00 00 00 00 00"}};
  for (const auto& c : doubles) {
    EncodeKeyDouble(c.value, b);
    EXPECT_EQ(Hex(b, 8), c.hex) << c.value;
  }
}

TEST(KeyEncoding, ByteOrderEqualsNumericOrder) {
  const std::vector<int64_t> ints = {INT64_MIN, -70000, -32768, -2,    -1,       0,
                                     1,         2,      32767,  70000, INT64_MAX};
  const std::vector<double> doubles = {-1e300, -2.5, -1.0, -1e-300, 0.0, 1e-300, 0.5, 1.0, 1e300};
  auto check_sorted = [](const std::vector<std::vector<uint8_t>>& keys) {
    for (size_t i = 1; i < keys.size(); ++i)
      EXPECT_LT(CompareKeyBytes(keys[i - 1].data(), keys[i].data(), (int)keys[i].size()), 0)
          << "position " << i;
  };
  std::vector<std::vector<uint8_t>> k64, k32, k16, kd;
  for (int64_t v : ints) {
    std::vector<uint8_t> b(8);
    EncodeKeyInt64(v, b.data());
    k64.push_back(b);
    if (v >= INT32_MIN && v <= INT32_MAX) {
      std::vector<uint8_t> c(4);
      EncodeKeyInt32(static_cast<int32_t>(v), c.data());
      k32.push_back(c);
    }
    if (v >= INT16_MIN && v <= INT16_MAX) {
      std::vector<uint8_t> c(2);
      EncodeKeyInt16(static_cast<int16_t>(v), c.data());
      k16.push_back(c);
    }
  }
  for (double v : doubles) {
    std::vector<uint8_t> b(8);
    EncodeKeyDouble(v, b.data());
    kd.push_back(b);
    EXPECT_EQ(DecodeKeyDouble(b.data()), v);
  }
  check_sorted(k64);
  check_sorted(k32);
  check_sorted(k16);
  check_sorted(kd);
}

TEST(IndexKey, NullSortsFirstAndKeyBytesPerType) {
  Table t({Field(1, kFldInteger), Field(2, kFldBcd), Field(3, kFldWord), Field(4, kFldBoolean)});
  TKeyDescriptor keys;
  ASSERT_EQ(keys.Resolve(IndexOn({1}, t, true), 0, t.fields, TKeyLanguage::Ansi()), 0);
  ASSERT_EQ(keys.KeySize(), 5);
  std::vector<uint8_t> null_rec = t.Record(1), neg = t.Record(2), big = t.Record(3);
  t.SetInt(neg, 1, INT32_MIN);
  t.SetInt(big, 1, 7);
  uint8_t a[5], b[5], c[5];
  keys.BuildKey(null_rec.data(), a);
  keys.BuildKey(neg.data(), b);
  keys.BuildKey(big.data(), c);
  EXPECT_EQ(Hex(a, 5), "00 00 00 00 00");
  EXPECT_EQ(Hex(b, 5), "01 00 00 00 00");
  EXPECT_EQ(Hex(c, 5), "01 80 00 00 07");
  EXPECT_LT(keys.Compare(a, b), 0);
  EXPECT_LT(keys.Compare(b, c), 0);

  // BCD keys are the value scaled by 10,000 as a large-integer key.
  TKeyDescriptor bcd;
  ASSERT_EQ(bcd.Resolve(IndexOn({2}, t, true), 0, t.fields, TKeyLanguage::Ansi()), 0);
  EXPECT_EQ(bcd.KeySize(), 9);
  std::vector<uint8_t> r = t.Record(1);
  SetFieldHasValue(r.data(), t.fields[1], true);
  ASSERT_TRUE(PutBcdValue(FieldValue(r.data(), t.fields[1]), -12345, 2));  // -1.2345 -> -1.23
  uint8_t k[9];
  bcd.BuildKey(r.data(), k);
  uint8_t want[8];
  EncodeKeyInt64(-12300, want);
  EXPECT_EQ(Hex(k + 1, 8), Hex(want, 8));
}

TEST(IndexKey, CaseInsensitiveAndCaseSensitiveAnsi) {
  Table t({Field(1, kFldString, 10)});
  TIndexDef def = IndexOn({1}, t, true);
  TKeyDescriptor sensitive, insensitive;
  ASSERT_EQ(sensitive.Resolve(def, 1, t.fields, TKeyLanguage::Ansi()), 0);
  def.case_insensitive = true;
  ASSERT_EQ(insensitive.Resolve(def, 1, t.fields, TKeyLanguage::Ansi()), 0);
  auto key = [&](const TKeyDescriptor& d, const std::string& s) {
    std::vector<uint8_t> r = t.Record(1);
    t.SetText(r, 1, s);
    std::vector<uint8_t> k(d.KeySize());
    d.BuildKey(r.data(), k.data());
    return k;
  };
  EXPECT_EQ(insensitive.Compare(key(insensitive, "abc").data(), key(insensitive, "ABC").data()), 0);
  EXPECT_NE(sensitive.Compare(key(sensitive, "abc").data(), key(sensitive, "ABC").data()), 0);
  EXPECT_LT(sensitive.Compare(key(sensitive, "B").data(), key(sensitive, "a").data()), 0);
}

TEST(IndexKey, NonUniqueSuffixKeepsRowOrder) {
  Table t({Field(1, kFldInteger)});
  TKeyDescriptor unique, dup;
  ASSERT_EQ(unique.Resolve(IndexOn({1}, t, true), 0, t.fields, TKeyLanguage::Ansi()), 0);
  ASSERT_EQ(dup.Resolve(IndexOn({1}, t, false), 1, t.fields, TKeyLanguage::Ansi()), 0);
  EXPECT_EQ(dup.KeySize(), unique.KeySize() + 4);
  std::vector<uint8_t> r7 = t.Record(7), r3 = t.Record(3);
  t.SetInt(r7, 1, 5);
  t.SetInt(r3, 1, 5);
  std::vector<uint8_t> k7(9), k3(9);
  dup.BuildKey(r7.data(), k7.data());
  dup.BuildKey(r3.data(), k3.data());
  EXPECT_LT(dup.Compare(k3.data(), k7.data()), 0);
  EXPECT_EQ(dup.Compare(k3.data(), k7.data(), 5), 0);  // equal over the field bytes
  EXPECT_EQ(Hex(k7.data() + 5, 4), "80 00 00 07");
}

// Sorting keys of c, b, a and a null under one descending string field.
std::vector<std::string> SortedByDescendingField(const TKeyLanguage& language) {
  Table t({Field(1, kFldString, 5)});
  TKeyDescriptor keys;
  EXPECT_EQ(keys.Resolve(IndexOn({1}, t, false, {1}), 1, t.fields, language), 0);
  std::vector<std::pair<std::vector<uint8_t>, std::string>> entries;
  const std::vector<std::string> values = {"b", "", "a", "c"};  // "" = null
  for (size_t i = 0; i < values.size(); ++i) {
    std::vector<uint8_t> r = t.Record(static_cast<int32_t>(i + 1));
    if (!values[i].empty()) t.SetText(r, 1, values[i]);
    std::vector<uint8_t> k(keys.KeySize());
    keys.BuildKey(r.data(), k.data());
    entries.push_back({k, values[i].empty() ? "null" : values[i]});
  }
  std::sort(entries.begin(), entries.end(), [&](const auto& x, const auto& y) {
    return keys.Compare(x.first.data(), y.first.data()) < 0;
  });
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.second);
  return out;
}

TEST(IndexKey, DescendingStringFieldReturnsCbaWithNullsLast) {
  const std::vector<std::string> want = {"c", "b", "a", "null"};
  EXPECT_EQ(SortedByDescendingField(TKeyLanguage::Ansi()), want);
  // Another language keeps the bytes and negates the field's comparison.
  EXPECT_EQ(SortedByDescendingField(TKeyLanguage::For(0x0409, 0)), want);
}

TEST(IndexKey, AnsiDescendingFieldInvertsBytesButKeepsTerminator) {
  Table t({Field(1, kFldString, 2)});
  TKeyDescriptor keys;
  ASSERT_EQ(keys.Resolve(IndexOn({1}, t, true, {1}), 1, t.fields, TKeyLanguage::Ansi()), 0);
  std::vector<uint8_t> r = t.Record(1);
  t.SetText(r, 1, "A");
  uint8_t k[4];
  keys.BuildKey(r.data(), k);
  EXPECT_EQ(Hex(k, 4), "FE BE FF 00");
}

TEST(IndexKey, KeyFieldBytesLimit) {
  Table t({Field(1, kFldString, 250), Field(2, kFldString, 250), Field(3, kFldString, 16),
           Field(4, kFldString, 17), Field(5, kFldBlob, 0, kSubMemo)});
  const uint16_t ok[] = {1, 2, 3};
  const uint16_t too_big[] = {1, 2, 4};
  const uint16_t blob[] = {5};
  const uint16_t unknown[] = {9};
  EXPECT_EQ(KeyFieldBytes(ok, 3, t.fields, false), 522);
  EXPECT_EQ(KeyFieldBytes(too_big, 3, t.fields, false), -FICHA_INVALIDKEY);
  EXPECT_EQ(KeyFieldBytes(blob, 1, t.fields, false), -FICHA_SEARCHCOLREQD);
  EXPECT_EQ(KeyFieldBytes(unknown, 1, t.fields, false), -FICHA_INVALIDIDXDESC);
  EXPECT_EQ(KeyFieldBytes(blob, 1, t.fields, true), 64);  // memo fields feed the text index
  const uint16_t integer_field[] = {1};
  Table u({Field(1, kFldInteger)});
  EXPECT_EQ(KeyFieldBytes(integer_field, 1, u.fields, true), -FICHA_SEARCHCOLREQD);
}

TEST(IndexKey, PaddingAnsiAndSystemIndexes) {
  Table t({Field(1, kFldInteger), Field(2, kFldInteger)});
  TKeyDescriptor keys;
  ASSERT_EQ(keys.Resolve(IndexOn({1, 2}, t, false), 1, t.fields, TKeyLanguage::Ansi()), 0);
  std::vector<uint8_t> k(keys.KeySize(), 0x11);
  keys.PadKey(k.data(), 5, false);
  EXPECT_EQ(Hex(k.data(), 14), "11 11 11 11 11 00 00 00 00 00 00 00 00 00");
  keys.PadKey(k.data(), 5, true);
  EXPECT_EQ(Hex(k.data() + 5, 9), "FF FF FF FF FF FF FF FF FF");

  TKeyDescriptor text;
  TIndexDef def;
  def.key_size = kSysTextKeySize;
  ASSERT_EQ(text.Resolve(def, kSysTextIndex, {}, TKeyLanguage::Ansi()), 0);
  uint8_t tk[kSysTextKeySize];
  TKeyDescriptor::BuildTextKey(3, "WORD", 9, tk);
  EXPECT_EQ(Hex(tk, 8), "01 00 03 57 4F 52 44 00");
  EXPECT_EQ(Hex(tk + 64, 4), "80 00 00 09");
  text.PadKey(tk, 7, true);
  EXPECT_EQ(tk[7], 0xFF);
  EXPECT_EQ(tk[63], 0xFF);
  EXPECT_EQ(Hex(tk + 64, 4), "FF FF FF FF");

  TKeyDescriptor deleted;
  ASSERT_EQ(deleted.Resolve(def, kSysDeletedIndex, {}, TKeyLanguage::Ansi()), 0);
  EXPECT_EQ(deleted.KeySize(), 5);
  std::vector<uint8_t> rec = t.Record(4);
  rec[0] = 1;
  uint8_t dk[5];
  deleted.BuildKey(rec.data(), dk);
  EXPECT_EQ(Hex(dk, 5), "01 80 00 00 04");
}

TEST(IndexKey, RangeOverFirstOfTwoStringFieldsWithLanguage) {
  Table t({Field(1, kFldString, 5), Field(2, kFldString, 5)});
  TKeyDescriptor keys;
  ASSERT_EQ(keys.Resolve(IndexOn({1, 2}, t, true), 1, t.fields, TKeyLanguage::For(0x0409, 0)), 0);
  auto key = [&](const std::string& a, const std::string& b) {
    std::vector<uint8_t> r = t.Record(1);
    t.SetText(r, 1, a);
    if (!b.empty()) t.SetText(r, 2, b);
    std::vector<uint8_t> k(keys.KeySize());
    keys.BuildKey(r.data(), k.data());
    return k;
  };
  const int first_field = 1 + 6;
  std::vector<uint8_t> lower = key("abc", "");
  std::vector<uint8_t> upper = lower;
  keys.PadKey(lower.data(), first_field, false);
  keys.PadKey(upper.data(), first_field, true);
  for (std::string second : {"", "a", "zzzzz", "ABC", "0"}) {
    std::vector<uint8_t> k = key("abc", second);
    EXPECT_LE(keys.Compare(lower.data(), k.data()), 0) << second;
    EXPECT_GE(keys.Compare(upper.data(), k.data()), 0) << second;
  }
  EXPECT_GT(keys.Compare(key("abd", "a").data(), upper.data()), 0);
  EXPECT_LT(keys.Compare(key("abb", "z").data(), lower.data()), 0);
}

}  // namespace
}  // namespace ficha
