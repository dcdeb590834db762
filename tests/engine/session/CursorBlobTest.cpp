// Blob access through a cursor: open buffers on record buffers, reads and
// writes at offsets, truncation, the open-blob limit, the hand-over to
// record posting, and a blob rewritten by another program.
#include <cstring>
#include <string>

#include "engine/blob/BlobBuffer.h"
#include "engine/blob/BlobReference.h"
#include "engine/session/CursorBlobs.h"
#include "tests/engine/session/ChildProcess.h"
#include "tests/engine/session/LockTestUtil.h"

namespace ficha::testing {
namespace {

constexpr int kNotes = 3;  // the memo field of the test tables
constexpr auto kReadWrite = TBlobOpenMode::kReadWrite;
constexpr auto kRead = TBlobOpenMode::kRead;

const TFieldDef& NotesDef(TDataCursor& cursor) { return cursor.Fields()[kNotes - 1]; }

int32_t NotesWord(TDataCursor& cursor, const std::vector<uint8_t>& record) {
  return GetI32(FieldValue(record.data(), NotesDef(cursor)));
}

TBlobReference NotesReference(TDataCursor& cursor, const std::vector<uint8_t>& record) {
  return TBlobReference::Decode(FieldValue(record.data(), NotesDef(cursor)));
}

bool NotesNull(TDataCursor& cursor, const std::vector<uint8_t>& record) {
  return FieldIsNull(record.data(), NotesDef(cursor));
}

// A copy of record n as the table has it.
std::vector<uint8_t> ReadRecord(TDataCursor& cursor, int32_t n) {
  TDataFile& data = cursor.Table()->DataFile();
  TRecord* record = nullptr;
  EXPECT_TRUE(data.GetRecord(nullptr, n, 1, &record));
  std::vector<uint8_t> copy(record->Data(), record->Data() + data.RecordSize());
  data.ReleaseRecord(record);
  return copy;
}

// What posting record n does with its blobs, as record changes will: under
// the write lock the changed buffers are written, the references go back
// into the record, the record is written and the temporary buffers go.
void Post(TDataCursor& cursor, int32_t n, std::vector<uint8_t>& record) {
  cursor.CursorWriteLock();
  bool wrote = cursor.WriteOpenBlobs(record.data());
  cursor.RestoreBlobReferences(record.data());
  TDataFile& data = cursor.Table()->DataFile();
  TRecord* slot = nullptr;
  while (!data.GetRecord(nullptr, n, 1, &slot)) {
  }
  std::memcpy(slot->Data(), record.data(), record.size());
  slot->MarkDirty();
  data.ReleaseRecord(slot);
  cursor.FlushBuffers(false, kFlushDataHeader | (wrote ? kFlushBlobHeader : 0u));
  cursor.ReleaseOpenBlobs();
  cursor.CursorWriteUnlock();
}

// Replaces the blob of record n by text and posts it; returns 0 or the
// failing status.
int WriteAndPost(TDataCursor& cursor, int32_t n, const std::string& text) {
  std::vector<uint8_t> record = ReadRecord(cursor, n);
  int64_t length = 0;
  if (int s = cursor.OpenBlob(kNotes, record.data(), kReadWrite, true, &length); s != 0) return s;
  if (int s = cursor.TruncateBlob(kNotes, record.data(), 0); s != 0) return s;
  auto bytes = reinterpret_cast<const uint8_t*>(text.data());
  if (int s = cursor.PutBlob(kNotes, record.data(), 0, std::ssize(text), bytes); s != 0) return s;
  Post(cursor, n, record);
  return 0;
}

// The whole blob of record; *status gets the first failing status.
std::string ReadAll(TDataCursor& cursor, std::vector<uint8_t>& record, int* status = nullptr) {
  int64_t length = 0;
  int s = cursor.OpenBlob(kNotes, record.data(), kRead, false, &length);
  if (status != nullptr) *status = s;
  if (s != 0) return {};
  std::string text(static_cast<size_t>(length), '\0');
  int64_t copied = 0;
  cursor.GetBlob(kNotes, record.data(), 0, length, reinterpret_cast<uint8_t*>(text.data()),
                 &copied);
  cursor.FreeBlob(kNotes, record.data());
  return text;
}

class CursorBlobTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    CreateTable("NOTA", 3, true);
    OpenHere();
  }
  void TearDown() override {
    CloseHere();
    SessionTest::TearDown();
  }
  void OpenHere() {
    db_ = session_.OpenDirectory("", EngineDir());
    cursor_ = OpenCursor(db_, "NOTA");
  }
  void CloseHere() {
    cursor_.reset();
    if (db_ != nullptr) session_.CloseDirectory(db_);
    db_ = nullptr;
  }

  TDataDirectory* db_ = nullptr;
  std::unique_ptr<TDataCursor> cursor_;
};

TEST_F(CursorBlobTest, ReadAndWriteAtOffsets) {
  std::vector<uint8_t> record = ReadRecord(*cursor_, 1);
  uint8_t* rec = record.data();
  int64_t length = -1;
  ASSERT_EQ(cursor_->OpenBlob(kNotes, rec, kReadWrite, false, &length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_LT(NotesWord(*cursor_, record), 0);
  EXPECT_TRUE(NotesNull(*cursor_, record));

  // Writing beyond the end of an empty blob: zero bytes up to the offset.
  ASSERT_EQ(cursor_->PutBlob(kNotes, rec, 100, 3, reinterpret_cast<const uint8_t*>("abc")), 0);
  ASSERT_EQ(cursor_->GetBlobSize(kNotes, rec, &length), 0);
  EXPECT_EQ(length, 103);
  EXPECT_FALSE(NotesNull(*cursor_, record));
  std::vector<uint8_t> all(103, 0xEE);
  int64_t copied = 0;
  EXPECT_EQ(cursor_->GetBlob(kNotes, rec, 0, 103, all.data(), &copied), 0);
  EXPECT_EQ(copied, 103);
  EXPECT_EQ(std::count(all.begin(), all.begin() + 100, 0), 100);
  EXPECT_EQ(std::string(all.begin() + 100, all.end()), "abc");

  ASSERT_EQ(cursor_->TruncateBlob(kNotes, rec, 10), 0);
  ASSERT_EQ(cursor_->PutBlob(kNotes, rec, 0, 10, reinterpret_cast<const uint8_t*>("0123456789")),
            0);
  struct Case {
    int64_t offset, count, copied;
    int status;
    const char* bytes;
  };
  const Case cases[] = {
      {8, 5, 2, -FICHA_ENDOFBLOB, "89"},
      {9, 5, 1, -FICHA_ENDOFBLOB, "9"},
      {10, 5, 0, -FICHA_ENDOFBLOB, ""},
      {11, 1, 0, -FICHA_ENDOFBLOB, ""},
      {0, 10, 10, 0, "0123456789"},
      {3, 4, 4, 0, "3456"},
      {10, 0, 0, 0, ""},
      {-1, 1, 0, -FICHA_INVALIDBLOBOFFSET, ""},
      {0, -1, 0, -FICHA_INVALIDBLOBLEN, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.count));
    std::vector<uint8_t> out(16, 0);
    EXPECT_EQ(cursor_->GetBlob(kNotes, rec, c.offset, c.count, out.data(), &copied), c.status);
    EXPECT_EQ(copied, c.copied);
    EXPECT_EQ(std::string(out.begin(), out.begin() + copied), c.bytes);
  }

  EXPECT_EQ(cursor_->TruncateBlob(kNotes, rec, -1), -FICHA_INVALIDBLOBLEN);
  EXPECT_EQ(cursor_->PutBlob(kNotes, rec, -1, 1, all.data()), -FICHA_INVALIDBLOBOFFSET);
  EXPECT_EQ(cursor_->PutBlob(kNotes, rec, kMaxBlobLength, 1, all.data()), -FICHA_INVALIDBLOBLEN);
  ASSERT_EQ(cursor_->TruncateBlob(kNotes, rec, 0), 0);
  EXPECT_TRUE(NotesNull(*cursor_, record));

  // Freed without posting: the field is as it was read.
  std::vector<uint8_t> original = ReadRecord(*cursor_, 1);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, rec), 0);
  EXPECT_EQ(record, original);
  EXPECT_EQ(cursor_->GetBlob(kNotes, rec, 0, 1, all.data(), &copied), -FICHA_INVALIDBLOBHANDLE);
}

TEST_F(CursorBlobTest, HandlesFieldsAndOpenCounts) {
  std::vector<uint8_t> record = ReadRecord(*cursor_, 1);
  uint8_t* rec = record.data();
  int64_t length = 0;
  EXPECT_EQ(cursor_->OpenBlob(1, rec, kRead, false, &length), -FICHA_NOTABLOB);
  EXPECT_EQ(cursor_->OpenBlob(99, rec, kRead, false, &length), -FICHA_NOTABLOB);
  EXPECT_EQ(cursor_->GetBlobSize(1, rec, &length), -FICHA_NOTABLOB);
  EXPECT_EQ(cursor_->GetBlobSize(kNotes, rec, &length), -FICHA_INVALIDBLOBHANDLE);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, rec), -FICHA_INVALIDBLOBHANDLE);

  // Opened twice: one buffer, open until freed twice.
  ASSERT_EQ(cursor_->OpenBlob(kNotes, rec, kReadWrite, false, &length), 0);
  int32_t word = NotesWord(*cursor_, record);
  ASSERT_EQ(cursor_->OpenBlob(kNotes, rec, kRead, false, &length), 0);
  EXPECT_EQ(NotesWord(*cursor_, record), word);
  EXPECT_EQ(cursor_->OpenBlobCount(), 1);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, rec), 0);
  EXPECT_EQ(cursor_->GetBlobSize(kNotes, rec, &length), 0);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, rec), 0);
  EXPECT_EQ(cursor_->OpenBlobCount(), 0);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, rec), -FICHA_INVALIDBLOBHANDLE);

  // A record buffer whose blob is open in another cursor.
  auto other = OpenCursor(db_, "NOTA");
  std::vector<uint8_t> foreign = ReadRecord(*other, 2);
  ASSERT_EQ(other->OpenBlob(kNotes, foreign.data(), kRead, false, &length), 0);
  EXPECT_EQ(cursor_->OpenBlob(kNotes, foreign.data(), kRead, false, &length),
            -FICHA_INVALIDBLOBOFFSET);
  EXPECT_EQ(cursor_->GetBlobSize(kNotes, foreign.data(), &length), -FICHA_INVALIDBLOBHANDLE);
  EXPECT_EQ(other->FreeBlob(kNotes, foreign.data()), 0);

  // A read-write open that makes an open blob temporary counts as one more
  // open; the temporary buffers go when a post releases them.
  ASSERT_EQ(cursor_->OpenBlob(kNotes, rec, kReadWrite, false, &length), 0);
  ASSERT_EQ(cursor_->OpenBlob(kNotes, rec, kReadWrite, true, &length), 0);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, rec), 0);
  EXPECT_EQ(cursor_->GetBlobSize(kNotes, rec, &length), 0);
  cursor_->ReleaseOpenBlobs();
  EXPECT_EQ(cursor_->OpenBlobCount(), 0);
}

TEST_F(CursorBlobTest, PostedBlobSurvivesReopenTruncateAndDelete) {
  std::string text(1000, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  std::vector<uint8_t> record = ReadRecord(*cursor_, 2);
  int64_t length = 0;
  ASSERT_EQ(cursor_->OpenBlob(kNotes, record.data(), kReadWrite, false, &length), 0);
  ASSERT_EQ(cursor_->PutBlob(kNotes, record.data(), 0, std::ssize(text),
                             reinterpret_cast<const uint8_t*>(text.data())),
            0);
  std::vector<uint8_t> posted = record;
  Post(*cursor_, 2, posted);
  TBlobReference reference = NotesReference(*cursor_, posted);
  EXPECT_GT(reference.first_block, 0);
  EXPECT_EQ(reference.revision, cursor_->Table()->DataFile().LastBlobRevision());
  EXPECT_FALSE(NotesNull(*cursor_, posted));
  // The buffer stays open after the post; freeing it leaves the posted
  // reference in the field.
  EXPECT_EQ(cursor_->OpenBlobCount(), 1);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, record.data()), 0);
  EXPECT_EQ(record, posted);

  CloseHere();
  OpenHere();
  record = ReadRecord(*cursor_, 2);
  EXPECT_EQ(ReadAll(*cursor_, record), text);

  ASSERT_EQ(cursor_->OpenBlob(kNotes, record.data(), kReadWrite, true, &length), 0);
  ASSERT_EQ(cursor_->TruncateBlob(kNotes, record.data(), 5), 0);
  Post(*cursor_, 2, record);
  EXPECT_EQ(cursor_->OpenBlobCount(), 0);
  EXPECT_EQ(NotesReference(*cursor_, record).first_block, reference.first_block);
  CloseHere();
  OpenHere();
  record = ReadRecord(*cursor_, 2);
  EXPECT_EQ(ReadAll(*cursor_, record), "abcde");

  // Emptied and posted: the blob leaves the blob file, the field is null.
  ASSERT_EQ(cursor_->OpenBlob(kNotes, record.data(), kReadWrite, true, &length), 0);
  ASSERT_EQ(cursor_->TruncateBlob(kNotes, record.data(), 0), 0);
  Post(*cursor_, 2, record);
  EXPECT_EQ(NotesReference(*cursor_, record).first_block, 0);
  EXPECT_TRUE(NotesNull(*cursor_, record));
  EXPECT_EQ(cursor_->Table()->BlobFile().Header().FirstFreeBlock(), reference.first_block);
}

TEST_F(CursorBlobTest, FreeingWithoutPostLeavesTheBlobFileAlone) {
  ASSERT_EQ(WriteAndPost(*cursor_, 1, "hello"), 0);
  int64_t size = FileSize("NOTA.BLB");
  int32_t changes = cursor_->Table()->BlobFile().Header().ChangeCount();
  std::vector<uint8_t> record = ReadRecord(*cursor_, 1);
  std::vector<uint8_t> before = record;
  int64_t length = 0;
  ASSERT_EQ(cursor_->OpenBlob(kNotes, record.data(), kReadWrite, false, &length), 0);
  EXPECT_EQ(length, 5);
  ASSERT_EQ(
      cursor_->PutBlob(kNotes, record.data(), 0, 7, reinterpret_cast<const uint8_t*>("changed")),
      0);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, record.data()), 0);
  EXPECT_EQ(record, before);
  cursor_->FlushBuffers(false, 0);
  EXPECT_EQ(FileSize("NOTA.BLB"), size);
  EXPECT_EQ(cursor_->Table()->BlobFile().Header().ChangeCount(), changes);
  EXPECT_EQ(ReadAll(*cursor_, record), "hello");
}

TEST_F(CursorBlobTest, OpenBlobLimit) {
  std::vector<std::vector<uint8_t>> records(TDataCursor::kMaxOpenBlobs + 1,
                                            ReadRecord(*cursor_, 3));
  int64_t length = 0;
  for (int i = 0; i < TDataCursor::kMaxOpenBlobs; ++i) {
    ASSERT_EQ(cursor_->OpenBlob(kNotes, records[i].data(), kRead, false, &length), 0) << i;
  }
  std::vector<uint8_t>& last = records.back();
  std::vector<uint8_t> untouched = last;
  EXPECT_EQ(cursor_->OpenBlob(kNotes, last.data(), kRead, false, &length), -FICHA_OPENBLOBLIMIT);
  EXPECT_EQ(last, untouched);
  // Another open of a blob already open is no new buffer.
  EXPECT_EQ(cursor_->OpenBlob(kNotes, records[0].data(), kRead, false, &length), 0);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, records[0].data()), 0);
  EXPECT_EQ(cursor_->FreeBlob(kNotes, records[1].data()), 0);
  EXPECT_EQ(cursor_->OpenBlob(kNotes, last.data(), kRead, false, &length), 0);
  // Closing the cursor drops every buffer.
  cursor_->Close();
  EXPECT_EQ(cursor_->OpenBlobCount(), 0);
}

TEST_F(CursorBlobTest, ClearBlobsEmptiesTheRecordsBlobsForADelete) {
  ASSERT_EQ(WriteAndPost(*cursor_, 1, "to be deleted"), 0);
  std::vector<uint8_t> record = ReadRecord(*cursor_, 1);
  int32_t first = NotesReference(*cursor_, record).first_block;
  ASSERT_GT(first, 0);
  cursor_->ClearBlobs(record.data());
  EXPECT_EQ(cursor_->OpenBlobCount(), 1);
  int64_t length = -1;
  EXPECT_EQ(cursor_->GetBlobSize(kNotes, record.data(), &length), 0);
  EXPECT_EQ(length, 0);
  cursor_->CursorWriteLock();
  EXPECT_TRUE(cursor_->WriteOpenBlobs(record.data()));
  cursor_->RestoreBlobReferences(record.data());
  cursor_->ReleaseOpenBlobs();
  cursor_->CursorWriteUnlock();
  EXPECT_EQ(cursor_->OpenBlobCount(), 0);
  EXPECT_EQ(NotesReference(*cursor_, record).first_block, 0);
  EXPECT_TRUE(NotesNull(*cursor_, record));
  EXPECT_EQ(cursor_->Table()->BlobFile().Header().FirstFreeBlock(), first);
}

TEST_F(CursorBlobTest, ChangedBlobsOfTwoRecordsAreNotPostedTogether) {
  std::vector<uint8_t> one = ReadRecord(*cursor_, 1);
  std::vector<uint8_t> two = ReadRecord(*cursor_, 2);
  int64_t length = 0;
  for (auto* record : {&one, &two}) {
    ASSERT_EQ(cursor_->OpenBlob(kNotes, record->data(), kReadWrite, false, &length), 0);
    ASSERT_EQ(cursor_->PutBlob(kNotes, record->data(), 0, 1, reinterpret_cast<const uint8_t*>("z")),
              0);
  }
  int32_t revision = cursor_->Table()->DataFile().LastBlobRevision();
  cursor_->CursorWriteLock();
  EXPECT_EQ(ErrorCodeOf([&] { cursor_->WriteOpenBlobs(one.data()); }), FICHA_MEMOCORRUPT);
  cursor_->CursorWriteUnlock();
  EXPECT_EQ(cursor_->Table()->DataFile().LastBlobRevision(), revision);
}

TEST_F(CursorBlobTest, BlobRewrittenByAnotherProgramSinceTheRecordWasRead) {
  ASSERT_EQ(WriteAndPost(*cursor_, 1, "first"), 0);
  CloseHere();  // nothing may be open when the other program starts
  std::string dir = EngineDir();
  ChildProcess child([dir](Channel& parent) {
    TDataSession session;
    TDataDirectory* db = session.OpenDirectory("", dir);
    auto cursor = OpenCursor(db, "NOTA");
    for (const char* text : {"second", "third"}) {
      if (!parent.Expect('r')) return 1;
      if (WriteAndPost(*cursor, 1, text) != 0) return 2;
      parent.Send('W');
    }
    return 0;
  });
  ASSERT_TRUE(child.Started());
  Channel& other = child.channel();
  OpenHere();
  TDataTable* table = cursor_->Table();

  // Not cached here: the load reads the headers first, drops what is stale
  // and finds the blob under another revision.
  std::vector<uint8_t> stale = ReadRecord(*cursor_, 1);
  other.Send('r');
  ASSERT_TRUE(other.Expect('W'));
  std::vector<uint8_t> before = stale;
  int64_t length = 0;
  EXPECT_EQ(cursor_->OpenBlob(kNotes, stale.data(), kRead, false, &length), -FICHA_KEYORRECDELETED);
  EXPECT_EQ(stale, before);
  EXPECT_EQ(cursor_->OpenBlobCount(), 0);
  EXPECT_FALSE(table->ReadLockHeld());
  std::vector<uint8_t> fresh = ReadRecord(*cursor_, 1);
  EXPECT_EQ(ReadAll(*cursor_, fresh), "second");

  // Cached here: with strict change detection the check before the load
  // finds the change.
  session_.SetStrictChangeDetection(true);
  other.Send('r');
  ASSERT_TRUE(other.Expect('W'));
  EXPECT_EQ(cursor_->OpenBlob(kNotes, fresh.data(), kRead, false, &length), -FICHA_KEYORRECDELETED);
  EXPECT_FALSE(table->ReadLockHeld());
  fresh = ReadRecord(*cursor_, 1);
  int status = -1;
  EXPECT_EQ(ReadAll(*cursor_, fresh, &status), "third");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(child.Wait(), 0);
}

// A table DUAS with an ID and two memo fields (2 and 3), one record whose
// blobs are empty.
void CreateTwoBlobTable(const std::string& directory) {
  TPlainTableOwner owner("DUAS", directory);
  owner.exclusive = true;
  TNewTableInfo info;
  info.fields.resize(3);
  info.fields[0].number = 1;
  info.fields[0].name = "ID";
  info.fields[0].type = kFldInteger;
  for (int i : {1, 2}) {
    info.fields[static_cast<size_t>(i)].number = i + 1;
    info.fields[static_cast<size_t>(i)].name = i == 1 ? "NOTES" : "MORE";
    info.fields[static_cast<size_t>(i)].type = kFldBlob;
    info.fields[static_cast<size_t>(i)].subtype = kSubMemo;
  }
  AssignFieldLayout(info.fields);
  TDataFile data(&owner);
  data.SetName(TableFileName(directory, "DUAS", kDataFileExt));
  data.InitializeDataFile(info);
  TRecord* record = data.AllocateRecord();
  SetRecordRowId(record->Data(), data.TakeRowIdentifier());
  PutI32(FieldValue(record->Data(), data.FieldDefs()[0]), 1);
  record->MarkDirty();
  data.ReleaseRecord(record);
  data.WriteBack(true, false);
  data.CloseFile();
  TIndexFile index(&owner);
  index.SetName(TableFileName(directory, "DUAS", kIndexFileExt));
  index.CreateNewFile();
  index.DefinePrimaryIndex(TIndexDef());
  index.SetActiveRecords(1);
  index.FlushBuffers(true, false);
  index.CloseFile();
  TBlobFile blob(&owner);
  blob.SetName(TableFileName(directory, "DUAS", kBlobFileExt));
  blob.SetBlockSize(kDefaultBlobBlockSize);
  blob.CreateNewFile();
  blob.FlushBuffers(true, false, false);
  blob.CloseFile();
}

// A blob that cannot be opened for a delete leaves the record's other blobs
// as they were: nothing stays open behind the caller's back.
TEST_F(CursorBlobTest, ClearBlobsThatFailsUndoesItsOpens) {
  CreateTwoBlobTable(EngineDir());
  auto cursor = OpenCursor(db_, "DUAS");
  for (bool opened_before : {false, true}) {
    SCOPED_TRACE(opened_before ? "first blob opened by its user" : "nothing open");
    std::vector<uint8_t> record = ReadRecord(*cursor, 1);
    const TFieldDef& notes = cursor->Fields()[1];
    const TFieldDef& more = cursor->Fields()[2];
    int64_t length = 0;
    if (opened_before) {
      ASSERT_EQ(cursor->OpenBlob(2, record.data(), kReadWrite, false, &length), 0);
      ASSERT_EQ(cursor->PutBlob(2, record.data(), 0, 3, reinterpret_cast<const uint8_t*>("abc")),
                0);
    }
    int32_t notes_word = GetI32(FieldValue(record.data(), notes));
    // The second blob's value names a buffer this cursor does not hold.
    PutI32(FieldValue(record.data(), more), -2147483000);
    EXPECT_EQ(ErrorCodeOf([&] { cursor->ClearBlobs(record.data()); }), FICHA_INVALIDBLOBOFFSET);
    EXPECT_EQ(GetI32(FieldValue(record.data(), notes)), notes_word);
    EXPECT_EQ(cursor->OpenBlobCount(), opened_before ? 1 : 0);
    if (opened_before) {
      const TOpenBlob* entry = cursor->OpenBlobOf(2, record.data());
      ASSERT_NE(entry, nullptr);
      EXPECT_FALSE(entry->temporary);
      EXPECT_EQ(entry->open_count, 1);
      EXPECT_EQ(entry->buffer->Length(), 3);
      cursor->ReleaseOpenBlobs();
      EXPECT_EQ(cursor->OpenBlobCount(), 1);
      EXPECT_EQ(cursor->FreeBlob(2, record.data()), 0);
    }
    EXPECT_EQ(cursor->OpenBlobCount(), 0);
  }
}

}  // namespace
}  // namespace ficha::testing
