#include "tests/tools/ToolFixture.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <tuple>

#include "engine/blob/BlobBuffer.h"
#include "engine/blob/BlobFile.h"
#include "engine/blob/BlobReference.h"
#include "engine/data/BcdField.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/PlainTableOwner.h"
#include "engine/data/RecordLayout.h"
#include "engine/data/TableFileSet.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexKey.h"
#include "engine/index/TextIndexSettings.h"
#include "lib/literal/DateTimeValue.h"
#include "tools/ficha/Ficha.h"

namespace ficha::testing {

namespace {

TIndexDef IndexOn(const std::string& name, uint16_t field, bool unique,
                  const std::vector<TFieldDef>& fields) {
  TIndexDef def;
  def.name = name;
  def.unique = unique;
  def.field_count = 1;
  def.field_numbers[0] = field;
  int bytes = KeyFieldBytes(def.field_numbers.data(), 1, fields, false);
  def.key_size = static_cast<uint16_t>(bytes + (unique ? 0 : 4));
  return def;
}

// The files of one table being written, on behalf of no cursor.
struct TWriter {
  TWriter(const std::string& dir, const std::string& name, std::vector<TFieldDef> fields,
          uint16_t block_size, const std::string& password = "")
      : owner(name, dir), data(&owner), blob(&owner) {
    owner.exclusive = true;
    TNewTableInfo info;
    info.encrypted = !password.empty();
    info.password = password;
    AssignFieldLayout(fields);
    info.fields = fields;
    info.blob_block_size = block_size;
    info.description = "Tabela de teste";
    info.user_major = 2;
    info.user_minor = 7;
    data.SetName(TableFileName(dir, name, kDataFileExt));
    data.InitializeDataFile(info);
    blob.SetName(TableFileName(dir, name, kBlobFileExt));
    blob.SetBlockSize(block_size);
    blob.SetEncrypted(info.encrypted);
    blob.CreateNewFile();
  }

  const TFieldDef& Def(int number) const { return data.FieldDefs()[number - 1]; }

  // A new record; fill it and call Done.
  TRecord* New() {
    TRecord* record = data.AllocateRecord();
    SetRecordRowId(record->Data(), data.TakeRowIdentifier());
    return record;
  }
  void Done(TRecord* record) {
    record->MarkDirty();
    data.ReleaseRecord(record);
  }
  void PutBlob(TRecord* record, int field, const std::string& content) {
    TBlobReference reference;
    if (!content.empty()) {
      TBlobBuffer buffer(&blob, nullptr, field, reference);
      buffer.Write(0, static_cast<int64_t>(content.size()),
                   reinterpret_cast<const uint8_t*>(content.data()));
      buffer.SaveBlob(TakeBlobRevision(data));
      reference = buffer.Reference();
    }
    reference.Encode(FieldValue(record->Data(), Def(field)));
    SetFieldHasValue(record->Data(), Def(field), true);
  }
  void Delete(int32_t n) {
    TRecord* record = nullptr;
    data.GetRecord(nullptr, n, 1, &record);
    DeleteRecordSlot(record);
    data.ReleaseRecord(record);
  }
  void DeleteRecordSlot(TRecord* record) { data.DeleteRecordSlot(record); }

  // Writes data and blob file, then builds the index file from the records:
  // the given indexes over the active records, "Sys Deleted" over every slot.
  void Finish(const std::string& dir, const std::string& name, const TIndexDef& primary,
              const TIndexDef& secondary) {
    data.WriteBack(true, false);
    blob.FlushBuffers(true, false, false);
    blob.CloseFile();
    TIndexFile index(&owner);
    index.SetName(TableFileName(dir, name, kIndexFileExt));
    index.SetEncrypted(data.Encrypted());
    index.CreateNewFile();
    index.SetKeyContext(data.FieldDefs(), TKeyLanguage::Ansi());
    index.DefinePrimaryIndex(primary);
    index.AddSecondaryIndex(secondary);
    int32_t active = 0;
    std::vector<uint8_t> key(kMaxKeySize);
    for (int32_t n = 1; n < data.NextRecordNumber(); ++n) {
      TRecord* record = nullptr;
      data.GetRecord(nullptr, n, 1, &record);
      for (int i : {0, 1, kSysDeletedIndex}) {
        if (i != kSysDeletedIndex && RecordIsDeleted(record->Data())) continue;
        index.Keys(i).BuildKey(record->Data(), key.data());
        index.InsertKey(i, key.data(), n);
      }
      if (!RecordIsDeleted(record->Data())) ++active;
      data.ReleaseRecord(record);
    }
    index.SetActiveRecords(active);
    index.FlushBuffers(true, false);
    index.CloseFile();
    data.CloseFile();
  }

  // Gives the text index the fields and enters the words of texts (record
  // number, field number, text), as inserting those records would. The
  // index-file layer has no call that defines the text index yet, so its
  // slot is written into the header on disk.
  void AddTextIndex(const std::string& file, const std::vector<uint16_t>& fields,
                    const std::vector<std::tuple<int32_t, uint16_t, std::string>>& texts) {
    {
      std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
      const int64_t slot = kIdxHdrSlots + int64_t{kIndexSlotSize} * kSysTextIndex;
      io.seekp(slot + 37);
      io.put(static_cast<char>(fields.size()));
      io.seekp(slot + 54);
      for (uint16_t f : fields) {
        io.put(static_cast<char>(f & 0xFF));
        io.put(static_cast<char>(f >> 8));
      }
    }
    data.OpenFile();
    TIndexFile index(&owner);
    index.SetName(file);
    index.SetEncrypted(data.Encrypted());
    index.OpenFile();
    index.SetKeyContext(data.FieldDefs(), TKeyLanguage::Ansi());
    TTextIndexSettings settings = index.ReadTextIndexSettings();
    uint8_t key[kSysTextKeySize];
    for (const auto& [n, field, text] : texts) {
      TRecord* record = nullptr;
      data.GetRecord(nullptr, n, 1, &record);
      int32_t row_id = RecordRowId(record->Data());
      data.ReleaseRecord(record);
      for (const std::string& word :
           settings.SplitWords(text, index.Keys(kSysTextIndex).Language())) {
        TKeyDescriptor::BuildTextKey(field, word, row_id, key);
        index.InsertKey(kSysTextIndex, key, n);
      }
    }
    index.FlushBuffers(true, false);
    index.CloseFile();
    data.CloseFile();
  }

  TPlainTableOwner owner;
  TDataFile data;
  TBlobFile blob;
};

void PutText(TRecord* record, const TFieldDef& def, const std::string& text) {
  std::memcpy(FieldValue(record->Data(), def), text.data(), text.size());
  SetFieldHasValue(record->Data(), def, true);
}

}  // namespace

void ToolTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fichatoolXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
}

void ToolTest::TearDown() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void ToolTest::CreateSample() const {
  std::vector<TFieldDef> fields{
      MakeFieldDef(1, "ID", kFldInteger),
      MakeFieldDef(2, "NAME", kFldString, 12),
      MakeFieldDef(3, "BORN", kFldDate),
      MakeFieldDef(4, "SEEN", kFldTimestamp),
      MakeFieldDef(5, "AT", kFldTime),
      MakeFieldDef(6, "OK", kFldBoolean),
      MakeFieldDef(7, "S", kFldSmallInt),
      MakeFieldDef(8, "W", kFldWord),
      MakeFieldDef(9, "BIG", kFldLargeInt),
      MakeFieldDef(10, "PRICE", kFldFloat),
      MakeFieldDef(11, "AMOUNT", kFldBcd, 0, 0, 2),
      MakeFieldDef(12, "RAW", kFldBytes, 3),
      MakeFieldDef(13, "NOTES", kFldBlob, 0, kSubMemo),
      MakeFieldDef(14, "PIC", kFldBlob, 0, kSubNone),
      MakeFieldDef(15, "SEQ", kFldInteger, 0, kSubAutoInc),
  };
  fields[1].required = true;
  fields[1].char_case = kCaseUpper;
  fields[6].default_value = "7";
  fields[6].min_value = "-10";
  fields[6].max_value = "10";
  TWriter w(Dir() + "/", "SAMPLE", fields, 64);
  auto def = [&](int n) -> const TFieldDef& { return w.Def(n); };

  TRecord* r = w.New();  // 1: every field set
  uint8_t* d = r->Data();
  PutI32(FieldValue(d, def(1)), 1);
  SetFieldHasValue(d, def(1), true);
  PutText(r, def(2), "Ana");
  PutI32(FieldValue(d, def(3)), 730120);  // 2000-01-01
  SetFieldHasValue(d, def(3), true);
  PutF64(FieldValue(d, def(4)), MakeTimestamp(730120, 37800500));
  SetFieldHasValue(d, def(4), true);
  PutI32(FieldValue(d, def(5)), 12 * 3600000);
  SetFieldHasValue(d, def(5), true);
  PutU16(FieldValue(d, def(6)), 1);
  SetFieldHasValue(d, def(6), true);
  PutI16(FieldValue(d, def(7)), -5);
  SetFieldHasValue(d, def(7), true);
  PutU16(FieldValue(d, def(8)), 65535);
  SetFieldHasValue(d, def(8), true);
  PutI64(FieldValue(d, def(9)), -9000000000LL);
  SetFieldHasValue(d, def(9), true);
  PutF64(FieldValue(d, def(10)), 1.5);
  SetFieldHasValue(d, def(10), true);
  PutBcdValue(FieldValue(d, def(11)), 123456, 2);
  SetFieldHasValue(d, def(11), true);
  PutText(r, def(12), "\x01\x02\xff");
  w.PutBlob(r, 13, "Ol\xe1\nmundo");  // "Olá" in Windows-1252
  w.PutBlob(r, 14, "\xde\xad");
  w.Done(r);

  r = w.New();  // 2: empty text and empty memo, everything else null
  PutI32(FieldValue(r->Data(), def(1)), 2);
  SetFieldHasValue(r->Data(), def(1), true);
  PutText(r, def(2), "");
  w.PutBlob(r, 13, "");
  w.Done(r);

  r = w.New();  // 3: deleted below
  PutI32(FieldValue(r->Data(), def(1)), 3);
  SetFieldHasValue(r->Data(), def(1), true);
  PutText(r, def(2), "Gone");
  w.Done(r);

  r = w.New();  // 4: a memo of three blocks, quotes and a tab in the name
  PutI32(FieldValue(r->Data(), def(1)), 4);
  SetFieldHasValue(r->Data(), def(1), true);
  PutText(r, def(2), "B\"o\tb");
  w.PutBlob(r, 13, std::string(100, 'x'));
  w.Done(r);

  w.Delete(3);
  w.Finish(Dir() + "/", "SAMPLE", IndexOn("", 1, true, w.data.FieldDefs()),
           IndexOn("BYNAME", 2, false, w.data.FieldDefs()));
  w.AddTextIndex(Path("SAMPLE.IDX").string(), {2, 13},
                 {{1, 2, "Ana"},
                  {1, 13, "Ol\xe1\nmundo"},
                  {2, 2, ""},
                  {4, 2, "B\"o\tb"},
                  {4, 13, std::string(100, 'x')}});
}

void ToolTest::CreateBig(const std::string& name, int records, const std::string& password) const {
  std::vector<TFieldDef> fields{MakeFieldDef(1, "ID", kFldInteger),
                                MakeFieldDef(2, "NAME", kFldString, 10),
                                MakeFieldDef(3, "NOTES", kFldBlob, 0, kSubMemo)};
  TWriter w(Dir() + "/", name, fields, 64, password);
  for (int i = 1; i <= records; ++i) {
    TRecord* r = w.New();
    PutI32(FieldValue(r->Data(), w.Def(1)), i);
    SetFieldHasValue(r->Data(), w.Def(1), true);
    PutText(r, w.Def(2), "N" + std::to_string(i % 37));
    if (i % 50 == 0) w.PutBlob(r, 3, std::string(200, static_cast<char>('a' + i / 50)));
    w.Done(r);
  }
  for (int32_t n : {10, 20})
    if (n <= records) w.Delete(n);
  w.Finish(Dir() + "/", name, IndexOn("", 1, true, w.data.FieldDefs()),
           IndexOn("BYNAME", 2, false, w.data.FieldDefs()));
}

TToolRun ToolTest::Run(const std::vector<std::string>& args) const {
  std::ostringstream out, err;
  TToolRun run;
  run.status = RunFicha(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::vector<uint8_t> ToolTest::ReadBytes(const std::string& file, int64_t offset,
                                         size_t count) const {
  std::ifstream in(Path(file), std::ios::binary);
  in.seekg(offset);
  std::vector<uint8_t> bytes(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  EXPECT_TRUE(in.good()) << file << " @" << offset;
  return bytes;
}

void ToolTest::WriteBytes(const std::string& file, int64_t offset,
                          const std::vector<uint8_t>& bytes) const {
  std::fstream io(Path(file), std::ios::binary | std::ios::in | std::ios::out);
  io.seekp(offset);
  io.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(io.good()) << file << " @" << offset;
}

int32_t ToolTest::ReadI32(const std::string& file, int64_t offset) const {
  return GetI32(ReadBytes(file, offset, 4).data());
}

void ToolTest::WriteI32(const std::string& file, int64_t offset, int32_t value) const {
  std::vector<uint8_t> bytes(4);
  PutI32(bytes.data(), value);
  WriteBytes(file, offset, bytes);
}

std::string ToolTest::FileContent(const std::string& file) const {
  std::ifstream in(Path(file), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

int64_t ToolTest::BigRecordOffset(int32_t n) { return 127 + 768 * 3 + int64_t{n - 1} * 35; }
int64_t ToolTest::BigNotesValue() { return 27; }

std::vector<int32_t> ToolTest::BigPrimaryPages() const { return BigIndexPages(0); }

std::vector<int32_t> ToolTest::BigIndexPages(int slot) const {
  TPlainTableOwner owner("BIG");
  TIndexFile index(&owner);
  index.SetName(Path("BIG.IDX").string());
  index.OpenFile();
  std::vector<int32_t> pages{index.RootPage(slot)};
  TPage* root = nullptr;
  index.GetPage(nullptr, slot, pages[0], &root);
  for (int i = 1; i <= root->Count(); ++i) pages.push_back(root->Value(i));
  index.ReleasePage(root);
  index.CloseFile();
  return pages;
}

}  // namespace ficha::testing
