#include "tests/engine/session/TableFixture.h"

#include <unistd.h>

#include <cstring>
#include <fstream>

namespace ficha::testing {

namespace {

std::vector<TFieldDef> TestFields(bool with_blob) {
  std::vector<TFieldDef> fields(2);
  fields[0].number = 1;
  fields[0].name = "ID";
  fields[0].type = kFldInteger;
  fields[1].number = 2;
  fields[1].name = "NAME";
  fields[1].type = kFldString;
  fields[1].size = 10;
  if (with_blob) {
    TFieldDef notes;
    notes.number = 3;
    notes.name = "NOTES";
    notes.type = kFldBlob;
    notes.subtype = kSubMemo;
    fields.push_back(notes);
  }
  AssignFieldLayout(fields);
  return fields;
}

void FillRecord(uint8_t* record, const std::vector<TFieldDef>& fields, int32_t id) {
  PutI32(FieldValue(record, fields[0]), id);
  SetFieldHasValue(record, fields[0], true);
  std::string name = "N" + std::to_string(id / 10);
  std::memcpy(FieldValue(record, fields[1]), name.data(), name.size());
  SetFieldHasValue(record, fields[1], true);
}

}  // namespace

void SessionTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fichaXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
}

void SessionTest::TearDown() {
  std::error_code ignored;
  for (auto& entry : std::filesystem::directory_iterator(dir_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(dir_, ignored);
}

void SessionTest::CreateTableIn(const std::string& directory, bool in_memory,
                                const std::string& name, int records, bool with_blob,
                                const std::string& password) {
  TPlainTableOwner owner(name, directory);
  owner.exclusive = true;
  TNewTableInfo info;
  info.fields = TestFields(with_blob);
  info.encrypted = !password.empty();
  info.password = password;
  TDataFile data(&owner);
  data.SetInMemory(in_memory);
  data.SetName(TableFileName(directory, name, kDataFileExt));
  data.InitializeDataFile(info);
  for (int i = 1; i <= records; ++i) {
    TRecord* record = data.AllocateRecord();
    SetRecordRowId(record->Data(), data.TakeRowIdentifier());
    FillRecord(record->Data(), data.FieldDefs(), i * 10);
    record->MarkDirty();
    data.ReleaseRecord(record);
  }
  data.WriteBack(true, false);
  data.CloseFile();

  TIndexFile index(&owner);
  index.SetInMemory(in_memory);
  index.SetName(TableFileName(directory, name, kIndexFileExt));
  index.SetEncrypted(info.encrypted);
  index.CreateNewFile();
  index.DefinePrimaryIndex(TIndexDef());
  index.SetActiveRecords(records);
  index.FlushBuffers(true, false);
  index.CloseFile();

  if (with_blob) {
    TBlobFile blob(&owner);
    blob.SetInMemory(in_memory);
    blob.SetName(TableFileName(directory, name, kBlobFileExt));
    blob.SetBlockSize(kDefaultBlobBlockSize);
    blob.SetEncrypted(info.encrypted);
    blob.CreateNewFile();
    blob.FlushBuffers(true, false, false);
    blob.CloseFile();
  }
}

std::vector<int32_t> SessionTest::AppendRecords(TDataTable& table, int count, int first_id) {
  TDataFile& data = table.DataFile();
  std::vector<int32_t> numbers;
  for (int i = 0; i < count; ++i) {
    TRecord* record = data.AllocateRecord();
    SetRecordRowId(record->Data(), data.TakeRowIdentifier());
    FillRecord(record->Data(), data.FieldDefs(), first_id + 10 * i);
    record->MarkDirty();
    numbers.push_back(record->Number());
    data.ReleaseRecord(record);
    table.IndexFile().IncActiveRecords();
  }
  return numbers;
}

int32_t SessionTest::RecordId(TDataTable& table, int32_t n) {
  TDataFile& data = table.DataFile();
  TRecord* record = nullptr;
  EXPECT_TRUE(data.GetRecord(nullptr, n, 1, &record));
  int32_t id = RecordIsDeleted(record->Data())
                   ? -1
                   : GetI32(FieldValue(record->Data(), data.FieldDefs()[0]));
  data.ReleaseRecord(record);
  return id;
}

int32_t SessionTest::RecordIdOnDisk(const std::string& table, int32_t n) const {
  std::ifstream in(Path(table + ".DAT"), std::ios::binary);
  std::vector<uint8_t> header(127);
  in.read(reinterpret_cast<char*>(header.data()), 127);
  if (!in) return 0;
  uint16_t record_size = GetU16(header.data() + 21);
  uint16_t field_count = GetU16(header.data() + 23);
  int64_t offset = 127 + 768 * int64_t{field_count} + (n - 1) * int64_t{record_size};
  std::vector<uint8_t> record(record_size);
  in.seekg(offset);
  in.read(reinterpret_cast<char*>(record.data()), record_size);
  if (!in) return 0;
  return GetI32(record.data() + 10);  // ID: null byte at 9, value at 10
}

int64_t SessionTest::FileSize(const std::string& file) const {
  std::error_code error;
  auto size = std::filesystem::file_size(Path(file), error);
  return error ? -1 : static_cast<int64_t>(size);
}

bool SessionTest::CanLock(const std::string& file, int64_t offset, int64_t length) const {
  TFileHandler other;
  other.SetName(Path(file).string());
  other.OpenFile();
  bool locked = other.LockRegion(offset, length);
  if (locked) other.UnlockRegion(offset, length);
  other.CloseFile();
  return locked;
}

}  // namespace ficha::testing
