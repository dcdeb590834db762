// Blob access through a cursor: opening a blob field of a record buffer into
// a buffer in memory, reading and changing it there, and handing the changed
// buffers to record posting (or dropping them).
//
// Value bytes of a blob field in a record buffer (8 bytes after the null
// byte):
//   0   4   >= 0: first block of the stored blob (0 = none)
//           <  0: -identity of a blob open in a cursor (TOpenBlobList)
//   4   4   revision of the stored blob
// While the blob is open the null byte tells whether its buffer is empty.
#include "engine/session/CursorBlobs.h"

#include <algorithm>
#include <atomic>
#include <limits>

#include "common/Fichacn.h"
#include "engine/blob/BlobFile.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "engine/index/IndexFile.h"
#include "engine/session/DataTable.h"

namespace ficha {

namespace {

// Identities 1 ... 2,147,483,647 for the whole process.
int32_t DrawIdentity() {
  static std::atomic<uint32_t> counter{0};
  return static_cast<int32_t>(counter.fetch_add(1) % 0x7FFFFFFFu + 1);
}

int32_t FieldWord(const uint8_t* record, const TFieldDef& def) {
  return GetI32(FieldValue(record, def));
}

// The open blob that field's value names in list, or a negated status.
int Locate(TOpenBlobList* list, const TFieldDef* def, const uint8_t* record, TOpenBlob** entry) {
  if (def == nullptr) return -FICHA_NOTABLOB;
  TOpenBlob* found = list != nullptr ? list->FindByValue(FieldWord(record, *def)) : nullptr;
  if (found == nullptr || found->field != def->number) return -FICHA_INVALIDBLOBHANDLE;
  *entry = found;
  return 0;
}

bool FieldInTextIndex(TIndexFile& index, int field) {
  TIndexDef text = index.IndexDefinition(kSysTextIndex);
  if (!text.InUse()) return false;
  for (int i = 0; i < text.field_count && i < kMaxKeyFields; ++i) {
    if (text.field_numbers[static_cast<size_t>(i)] == field) return true;
  }
  return false;
}

}  // namespace

// ---- TOpenBlobList ----

TOpenBlob* TOpenBlobList::FindByValue(int32_t value) {
  if (value >= 0 || value == std::numeric_limits<int32_t>::min()) return nullptr;
  for (auto& entry : entries_) {
    if (entry->identity == -value) return entry.get();
  }
  return nullptr;
}

TOpenBlob* TOpenBlobList::Add(std::unique_ptr<TOpenBlob> entry) {
  int32_t identity = DrawIdentity();
  while (FindByValue(-identity) != nullptr) identity = DrawIdentity();
  entry->identity = identity;
  entries_.push_back(std::move(entry));
  return entries_.back().get();
}

void TOpenBlobList::Remove(TOpenBlob* entry) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [entry](const std::unique_ptr<TOpenBlob>& e) { return e.get() == entry; });
  if (it != entries_.end()) entries_.erase(it);
}

void TOpenBlobList::RemoveTemporary() {
  std::erase_if(entries_, [](const std::unique_ptr<TOpenBlob>& e) { return e->temporary; });
}

// ---- Cursor operations ----

const TFieldDef* TDataCursor::BlobField(int field) const {
  if (!open_ || field < 1 || static_cast<size_t>(field) > fields_.size()) return nullptr;
  const TFieldDef& def = fields_[static_cast<size_t>(field) - 1];
  if (def.type != kFldBlob || def.calculated || !table_->HasBlobFile()) return nullptr;
  return &def;
}

int TDataCursor::OpenBlobCount() const { return blobs_ ? blobs_->Count() : 0; }

const TOpenBlob* TDataCursor::OpenBlobOf(int field, const uint8_t* record) const {
  TOpenBlob* entry = nullptr;
  return Locate(blobs_.get(), BlobField(field), record, &entry) == 0 ? entry : nullptr;
}

int TDataCursor::OpenBlob(int field, uint8_t* record, TBlobOpenMode mode, bool temporary,
                          int64_t* length) {
  if (length != nullptr) *length = 0;
  if (!open_) return -FICHA_INVALIDBLOBHANDLE;
  try {
    TCursorOperation operation(*this);
    CheckChangesBeforeNavigation();
    const TFieldDef* def = BlobField(field);
    if (def == nullptr) return -FICHA_NOTABLOB;
    if (!blobs_) blobs_ = std::make_unique<TOpenBlobList>();
    uint8_t* value = FieldValue(record, *def);
    int32_t word = GetI32(value);
    int64_t size = 0;
    if (word < 0) {
      TOpenBlob* entry = blobs_->FindByValue(word);
      if (entry == nullptr || entry->field != field) return -FICHA_INVALIDBLOBOFFSET;
      // A read-write open that changes the temporary flag counts as one more
      // open only when it makes the blob temporary.
      if (mode == TBlobOpenMode::kReadWrite && temporary != entry->temporary) {
        entry->temporary = temporary;
        if (temporary) ++entry->open_count;
      } else {
        ++entry->open_count;
      }
      size = entry->buffer->Length();
    } else {
      if (blobs_->Count() >= kMaxOpenBlobs) return -FICHA_OPENBLOBLIMIT;
      auto entry = std::make_unique<TOpenBlob>();
      entry->field = field;
      entry->stored = TBlobReference::Decode(value);
      entry->stored_has_value = !FieldIsNull(record, *def);
      entry->record_number = RecordIsDeleted(record) ? 0 : RecordLink(record);
      entry->row_id = RecordRowId(record);
      entry->mode = mode;
      entry->temporary = temporary;
      entry->text_indexed = FieldInTextIndex(table_->IndexFile(), field);
      entry->buffer =
          std::make_unique<TBlobBuffer>(&table_->BlobFile(), this, field, entry->stored);
      if (entry->stored.first_block != 0) entry->buffer->LoadBlob();
      size = entry->buffer->Length();
      TOpenBlob* added = blobs_->Add(std::move(entry));
      PutI32(value, -added->identity);
      SetFieldHasValue(record, *def, size > 0);
    }
    operation.Finish();
    if (length != nullptr) *length = size;
    return 0;
  } catch (const EFichaEngineError& e) {
    return -static_cast<int>(e.ErrorCode());
  }
}

int TDataCursor::FreeBlob(int field, uint8_t* record) {
  const TFieldDef* def = BlobField(field);
  TOpenBlob* entry = nullptr;
  if (int status = Locate(blobs_.get(), def, record, &entry); status != 0) return status;
  if (--entry->open_count > 0) return 0;
  // Back to what the field held: changes not posted are dropped.
  entry->stored.Encode(FieldValue(record, *def));
  SetFieldHasValue(record, *def, entry->stored_has_value);
  blobs_->Remove(entry);
  return 0;
}

int TDataCursor::GetBlob(int field, const uint8_t* record, int64_t offset, int64_t count,
                         uint8_t* dest, int64_t* copied) {
  if (copied != nullptr) *copied = 0;
  const TFieldDef* def = BlobField(field);
  TOpenBlob* entry = nullptr;
  if (int status = Locate(blobs_.get(), def, record, &entry); status != 0) return status;
  if (offset < 0) return -FICHA_INVALIDBLOBOFFSET;
  if (count < 0) return -FICHA_INVALIDBLOBLEN;
  int64_t n = entry->buffer->Read(offset, count, dest);
  if (copied != nullptr) *copied = n;
  return count > entry->buffer->Length() - offset ? -FICHA_ENDOFBLOB : 0;
}

int TDataCursor::PutBlob(int field, uint8_t* record, int64_t offset, int64_t count,
                         const uint8_t* source) {
  const TFieldDef* def = BlobField(field);
  TOpenBlob* entry = nullptr;
  if (int status = Locate(blobs_.get(), def, record, &entry); status != 0) return status;
  if (offset < 0) return -FICHA_INVALIDBLOBOFFSET;
  if (count < 0 || offset > kMaxBlobLength - count) return -FICHA_INVALIDBLOBLEN;
  try {
    TBlobBuffer& buffer = *entry->buffer;
    // Growing also when nothing is written: the bytes up to offset are zero.
    if (offset + count > buffer.Length()) buffer.Resize(offset + count);
    buffer.Write(offset, count, source);
    buffer.SetModified(true);
    SetFieldHasValue(record, *def, buffer.Length() > 0);
    return 0;
  } catch (const EFichaEngineError& e) {
    return -static_cast<int>(e.ErrorCode());
  }
}

int TDataCursor::TruncateBlob(int field, uint8_t* record, int64_t length) {
  const TFieldDef* def = BlobField(field);
  TOpenBlob* entry = nullptr;
  if (int status = Locate(blobs_.get(), def, record, &entry); status != 0) return status;
  if (length < 0 || length > kMaxBlobLength) return -FICHA_INVALIDBLOBLEN;
  try {
    entry->buffer->Resize(length);
  } catch (const EFichaEngineError& e) {
    return -static_cast<int>(e.ErrorCode());
  }
  entry->buffer->SetModified(true);
  SetFieldHasValue(record, *def, length > 0);
  return 0;
}

int TDataCursor::GetBlobSize(int field, const uint8_t* record, int64_t* length) {
  if (length != nullptr) *length = 0;
  const TFieldDef* def = BlobField(field);
  TOpenBlob* entry = nullptr;
  if (int status = Locate(blobs_.get(), def, record, &entry); status != 0) return status;
  if (length != nullptr) *length = entry->buffer->Length();
  return 0;
}

// ---- Hand-over to record posting ----

bool TDataCursor::WriteOpenBlobs(uint8_t* record) {
  if (!open_ || !blobs_) return false;
  std::vector<TOpenBlob*> changed;
  for (const auto& entry : blobs_->Entries()) {
    if (entry->buffer->Modified()) changed.push_back(entry.get());
  }
  if (changed.empty()) return false;
  for (TOpenBlob* entry : changed) {
    if (entry->record_number != changed.front()->record_number) Raise(FICHA_MEMOCORRUPT);
  }
  // Every revision is drawn before the first blob is written.
  std::vector<int32_t> revisions;
  for (TOpenBlob* entry : changed) {
    int32_t revision = TakeBlobRevision(table_->DataFile());
    revisions.push_back(revision);
    PutI32(FieldValue(record, fields_[static_cast<size_t>(entry->field) - 1]) + 4, revision);
  }
  for (size_t i = 0; i < changed.size(); ++i) {
    TOpenBlob* entry = changed[i];
    // An empty buffer deletes its blob.
    entry->buffer->SaveBlob(revisions[i]);
    entry->stored = entry->buffer->Reference();
    entry->stored_has_value = entry->buffer->Length() > 0;
  }
  return true;
}

void TDataCursor::RestoreBlobReferences(uint8_t* record) {
  if (!open_ || !blobs_) return;
  for (const TFieldDef& def : fields_) {
    if (def.type != kFldBlob || def.calculated) continue;
    TOpenBlob* entry = blobs_->FindByValue(FieldWord(record, def));
    if (entry == nullptr || entry->field != def.number) continue;
    entry->stored.Encode(FieldValue(record, def));
    SetFieldHasValue(record, def, entry->stored_has_value);
  }
}

void TDataCursor::ReleaseOpenBlobs() {
  if (blobs_) blobs_->RemoveTemporary();
}

void TDataCursor::ClearBlobs(uint8_t* record) {
  if (!open_) return;
  // Every blob is opened before any is emptied: when one cannot be opened,
  // the opens already made are undone and the record buffer and the open
  // blobs are left as they were (no buffer stays behind under an identity
  // the record no longer shows to its caller).
  struct Opened {
    const TFieldDef* def;
    bool was_open;
    bool was_temporary;
  };
  std::vector<Opened> opened;
  for (const TFieldDef& def : fields_) {
    if (def.type != kFldBlob || def.calculated) continue;
    const TOpenBlob* before = OpenBlobOf(def.number, record);
    Opened open{&def, before != nullptr, before != nullptr && before->temporary};
    int64_t length = 0;
    int status = OpenBlob(def.number, record, TBlobOpenMode::kReadWrite, true, &length);
    if (status != 0) {
      for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
        TOpenBlob* entry = nullptr;
        if (Locate(blobs_.get(), it->def, record, &entry) != 0) continue;
        if (it->was_open) entry->temporary = it->was_temporary;
        FreeBlob(it->def->number, record);
      }
      Raise(status, def.name);
    }
    opened.push_back(open);
  }
  for (const Opened& open : opened) {
    if (int status = TruncateBlob(open.def->number, record, 0); status != 0) {
      Raise(status, open.def->name);
    }
  }
}

}  // namespace ficha
