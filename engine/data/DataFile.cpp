// Data file (".DAT"), little-endian:
//
//   offset                    size                        content
//   0                         127                         table header
//                                                         (TableHeader.cpp)
//   127                       768 x field count           field definitions in
//                                                         field-number order
//                                                         (FieldDef.cpp)
//   D = 127 + 768 x fields    record size x slots         records; record n at
//                                                         D + (n - 1) x size
//                                                         (RecordLayout.cpp)
//
// An encrypted table stores the definition block and every record passed
// through the block scrambling routine (Scramble.h), each record on its own;
// the header is plain apart from description and password.
//
// Deleted records form a chain through bytes 1-4, headed by the header's
// first deleted record. A table with a primary index reuses the head of the
// chain for its next insert; a table without one always appends, so that its
// record-number order stays its insertion order.
#include "engine/data/DataFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/EngineError.h"
#include "common/ErrorCodes.h"
#include "engine/data/FieldDefCheck.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "engine/data/RowIdentifier.h"
#include "engine/data/Scramble.h"
#include "lib/lang/LanguageTable.h"

namespace ficha {
namespace {

// Holds the shared file's lock across a seek-and-transfer pair.
void EnsureSize(std::vector<uint8_t>& buffer, size_t size) {
  if (buffer.size() < size) buffer.resize((size + 4095) / 4096 * 4096);
}

std::string Cut(std::string_view text, size_t width) {
  return std::string(text.substr(0, std::min(text.size(), width)));
}

}  // namespace

TDataFile::TDataFile(TTableOwner* owner) : owner_(owner) {}

TDataFile::~TDataFile() { CloseFile(); }

void TDataFile::RaiseTable(int code) const {
  const std::string& table = owner_->TableName();
  RaiseEngineError(code, table.empty() ? Name() : table);
}

void TDataFile::OpenFile() {
  if (IsOpen()) return;
  defs_.clear();
  defs_changed_ = false;
  TFileHandler::OpenFile();
  try {
    ReadHeader();
    CheckHeaderSane();
    ReadFieldDefs();
    ResetCacheFigures();
  } catch (...) {
    CloseFile();
    throw;
  }
}

void TDataFile::CloseFile() {
  cache_.Clear();
  window_count_ = 0;
  TFileHandler::CloseFile();
}

// What must hold before anything is sized from the header: the version, a
// field count the definition slots can take, and a record size that can hold
// the record prefix (a smaller one would make every record access overrun).
void TDataFile::CheckHeaderSane() {
  if (header_.version != kDataFormatVersion) RaiseTable(FICHA_OLDVERSION);
  if (header_.field_count > kMaxFieldCount || header_.record_size < kRecordPrefixSize) {
    RaiseTable(FICHA_HEADERCORRUPT);
  }
  records_per_read_ = std::max(1, kRecordReadBytes / static_cast<int>(header_.record_size));
}

void TDataFile::ResetCacheFigures() {
  requests_ = 0;
  hits_ = 0;
  disk_reads_ = 0;
  cache_.SetCapacity(CacheLimit());
}

size_t TDataFile::CacheLimit() const {
  TCacheLimits limits = owner_->CacheLimits();
  if (header_.record_size == 0) return 0;
  int64_t by_bytes = std::max<int64_t>(0, limits.data_bytes) / header_.record_size;
  return static_cast<size_t>(std::min<int64_t>(by_bytes, std::max<int32_t>(0, limits.data_count)));
}

void TDataFile::MarkModified() {
  modified_ = true;
  owner_->MarkModified();
}

// ---- Header ----

void TDataFile::ReadHeader() {
  uint8_t image[kTableHeaderSize];
  {
    TFileAccess guard(*this);
    SeekTo(0, 0);
    ReadData(image, kTableHeaderSize, false);
  }
  header_ = DecodeTableHeader(image);
  header_changed_ = false;
}

bool TDataFile::HeaderChanged() {
  uint8_t image[kTableHeaderSize];
  {
    TFileAccess guard(*this);
    SeekTo(0, 0);
    ReadData(image, kTableHeaderSize, false);
  }
  if (GetI32(image) == header_.change_count) return false;
  TTableHeader old = header_;
  bool old_changed = header_changed_;
  header_ = DecodeTableHeader(image);
  header_changed_ = false;
  try {
    CheckHeaderSane();
    // The definitions in use stay as read at open; a header that gives the
    // records another size or field count would let them address bytes
    // beyond each record.
    if (header_.record_size != old.record_size || header_.field_count != old.field_count) {
      RaiseTable(FICHA_HEADERCORRUPT);
    }
  } catch (...) {
    header_ = old;
    header_changed_ = old_changed;
    throw;
  }
  return true;
}

bool TDataFile::WriteHeader(bool force) {
  if (!force && !header_changed_) return false;
  header_.change_count++;
  header_.writer_version = kDataWriterVersion;
  header_.reserved = 0;
  header_.last_write_time = CurrentHeaderTime();
  header_.changed_flag = header_changed_ ? 1 : 0;
  uint8_t image[kTableHeaderSize];
  EncodeTableHeader(header_, image);
  {
    TFileAccess guard(*this);
    SeekTo(0, 0);
    WriteData(image, kTableHeaderSize);
  }
  MarkModified();
  header_changed_ = false;
  return true;
}

void TDataFile::MarkHeaderChanged() {
  header_.change_count++;
  header_changed_ = true;
  owner_->SetChangedInTransaction();
}

int64_t TDataFile::DataStart() const {
  return static_cast<int64_t>(kTableHeaderSize) +
         static_cast<int64_t>(kFieldDefSize) * header_.field_count;
}

int64_t TDataFile::RecordOffset(int32_t n) const {
  return DataStart() + static_cast<int64_t>(n - 1) * header_.record_size;
}

std::string TDataFile::Description() const {
  return header_.encrypted ? ScrambleText(header_.description) : header_.description;
}

std::string TDataFile::Password() const {
  return header_.encrypted ? ScrambleText(header_.password) : std::string();
}

int32_t TDataFile::TakeRowIdentifier() {
  header_.last_row_id = NextRowIdentifier(header_.last_row_id);
  header_changed_ = true;
  return header_.last_row_id;
}

void TDataFile::SupplyRowIdentifier(int32_t row_id) {
  int32_t merged = MergeRowIdentifier(header_.last_row_id, row_id);
  if (merged != header_.last_row_id) {
    header_.last_row_id = merged;
    header_changed_ = true;
  }
}

void TDataFile::SetLastBlobRevision(int32_t revision) {
  header_.last_blob_revision = revision;
  header_changed_ = true;
}

void TDataFile::ValidateTable() {
  if (header_.version != kDataFormatVersion) RaiseTable(FICHA_OLDVERSION);
  if (header_.language != 0 && !IsLanguageInstalled(header_.language, header_.sort)) {
    RaiseTable(FICHA_CANNOTLOADLDDRV);
  }
  if (header_.field_count > kMaxFieldCount || defs_.size() != header_.field_count ||
      header_.record_size < kRecordPrefixSize) {
    RaiseTable(FICHA_HEADERCORRUPT);
  }
  std::vector<std::string> names;
  std::vector<uint16_t> numbers;
  int64_t running = kRecordPrefixSize;
  int blob_fields = 0;
  for (size_t i = 0; i < defs_.size(); ++i) {
    const TFieldDef& def = defs_[i];
    int phys = FieldPhysicalSize(def.type, def.size);
    std::string key = FieldNameKey(def.name);
    bool ok = phys >= 0 && !key.empty() && key.size() <= kMaxFieldNameLength &&
              IsIdentifierStart(static_cast<unsigned char>(key[0])) &&
              std::find(names.begin(), names.end(), key) == names.end() &&
              std::find(numbers.begin(), numbers.end(), def.number) == numbers.end() &&
              def.number == i + 1;
    if (ok) {
      ok = HasDeclaredSize(def.type) ? def.size <= kMaxDeclaredFieldSize : def.size == 0;
    }
    if (ok) {
      ok = IsValidFieldLiteralFor(def.type, def.default_value) &&
           IsValidFieldLiteralFor(def.type, def.min_value) &&
           IsValidFieldLiteralFor(def.type, def.max_value) &&
           (def.type == kFldBcd || def.decimals == 0);
    }
    if (ok && !def.calculated) {
      if (IsAutoIncField(def.type, def.subtype)) {
        ok = def.offset == kRecordRowIdOffset;
      } else {
        ok = def.offset == running;
        running += phys + 1;
      }
    }
    if (!ok) RaiseTable(FICHA_HEADERCORRUPT);
    if (def.type == kFldBlob) ++blob_fields;
    names.push_back(key);
    numbers.push_back(def.number);
  }
  // The blob count decides whether the blob file is opened at all; a count
  // that disagrees with the definitions would leave blob fields unreadable.
  if (running != header_.record_size || blob_fields != header_.blob_field_count) {
    RaiseTable(FICHA_HEADERCORRUPT);
  }
  int64_t file_size = GetFileSize();
  int64_t data_start = DataStart();
  int64_t slots = 0;
  if (file_size > data_start) {
    if ((file_size - data_start) % header_.record_size != 0) RaiseTable(FICHA_HEADERCORRUPT);
    slots = (file_size - data_start) / header_.record_size;
  }
  if (header_.next_record != slots + 1 || header_.first_deleted < 0 ||
      header_.first_deleted > slots) {
    RaiseTable(FICHA_HEADERCORRUPT);
  }
}

// ---- Field definitions ----

void TDataFile::ReadFieldDefs() {
  size_t count = header_.field_count;
  std::vector<uint8_t> block(count * kFieldDefSize);
  if (count > 0) {
    TFileAccess guard(*this);
    SeekTo(0, kTableHeaderSize);
    ReadData(block.data(), static_cast<int64_t>(block.size()), false);
  }
  if (header_.encrypted) ScrambleBlock(block.data(), block.size());
  defs_.clear();
  defs_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    TFieldDef def = DecodeFieldDef(block.data() + i * kFieldDefSize);
    // Physical size and decimals follow from type and declared size. The
    // stored copies are not trusted: a damaged byte there would make key
    // building and value readers take more bytes than the field holds.
    // An unknown type takes no bytes (validation refuses it anyway).
    int phys = std::clamp(FieldPhysicalSize(def.type, def.size), 0, 0xFF);
    def.phys_size = static_cast<uint8_t>(phys);
    def.phys_decimals = def.decimals;
    defs_.push_back(std::move(def));
  }
  defs_changed_ = false;
}

bool TDataFile::WriteFieldDefs() {
  if (!defs_changed_) return false;
  std::vector<uint8_t> block(defs_.size() * kFieldDefSize);
  for (size_t i = 0; i < defs_.size(); ++i)
    EncodeFieldDef(defs_[i], block.data() + i * kFieldDefSize);
  if (header_.encrypted) ScrambleBlock(block.data(), block.size());
  if (!block.empty()) {
    TFileAccess guard(*this);
    SeekTo(0, kTableHeaderSize);
    WriteData(block.data(), static_cast<int64_t>(block.size()));
  }
  if (owner_->ForceBufferFlush()) FlushData();
  defs_changed_ = false;
  MarkModified();
  return true;
}

const TFieldDef* TDataFile::FieldDefAt(size_t index) const {
  return index < defs_.size() ? &defs_[index] : nullptr;
}

const TFieldDef* TDataFile::FieldDefByNumber(uint16_t number) const {
  for (const TFieldDef& def : defs_) {
    if (def.number == number) return &def;
  }
  return nullptr;
}

const TFieldDef* TDataFile::FieldDefByName(std::string_view name) const {
  std::string key = FieldNameKey(name);
  for (const TFieldDef& def : defs_) {
    if (FieldNameKey(def.name) == key) return &def;
  }
  return nullptr;
}

bool TDataFile::ChangeFieldDef(uint16_t number, const TFieldDefChange& change) {
  auto it = std::find_if(defs_.begin(), defs_.end(),
                         [number](const TFieldDef& d) { return d.number == number; });
  if (it == defs_.end()) return false;
  if (change.name) it->name = Cut(*change.name, kMaxFieldNameLength);
  if (change.subtype) it->subtype = *change.subtype;
  if (change.description) it->description = Cut(*change.description, kMaxFieldDescriptionLength);
  if (change.required) it->required = *change.required;
  if (change.min_value) it->min_value = Cut(*change.min_value, kMaxFieldLiteralLength);
  if (change.max_value) it->max_value = Cut(*change.max_value, kMaxFieldLiteralLength);
  if (change.default_value) it->default_value = Cut(*change.default_value, kMaxFieldLiteralLength);
  defs_changed_ = true;
  return true;
}

bool TDataFile::SetFieldExpression(uint16_t number, const void* expression) {
  for (TFieldDef& def : defs_) {
    if (def.number == number) {
      def.expression = expression;
      return true;
    }
  }
  return false;
}

// ---- Creation ----

void TDataFile::InitializeDataFile(const TNewTableInfo& info) {
  if (info.fields.size() > kMaxFieldCount) RaiseTable(FICHA_FLDLIMIT);
  std::vector<TFieldDef> defs = info.fields;
  int blob_fields = 0;
  for (const TFieldDef& def : defs) {
    if (def.type == kFldBlob && ++blob_fields > kMaxBlobFields) RaiseTable(FICHA_BLOBLIMIT);
  }
  int64_t record_size = AssignFieldLayout(defs);
  if (record_size < 0) {
    for (const TFieldDef& def : defs) {
      if (FieldPhysicalSize(def.type, def.size) < 0) {
        RaiseEngineError(FICHA_INVALIDFLDTYPE, owner_->TableName(), def.name);
      }
    }
  }
  if (record_size > static_cast<int64_t>(kMaxRecordSize)) RaiseTable(FICHA_RECTOOBIG);

  TTableHeader header;
  header.language = info.language;
  header.sort = info.sort;
  header.user_major = info.user_major;
  header.user_minor = info.user_minor;
  header.encrypted = info.encrypted;
  if (info.encrypted) {
    header.password = ScrambleText(Cut(info.password, kMaxTablePasswordLength));
    header.description = ScrambleText(Cut(info.description, kMaxTableDescriptionLength));
  } else {
    header.description = Cut(info.description, kMaxTableDescriptionLength);
  }
  header.field_count = static_cast<uint16_t>(defs.size());
  header.blob_block_size_raw = info.blob_block_size;
  header.blob_field_count = static_cast<int16_t>(blob_fields);
  header.version = kDataFormatVersion;
  header.first_deleted = 0;
  header.next_record = 1;
  header.last_row_id = 0;
  header.record_size = static_cast<uint16_t>(record_size);
  header.change_count = 0;

  cache_.Clear();
  window_count_ = 0;
  header_ = header;
  defs_ = std::move(defs);
  header_changed_ = true;
  defs_changed_ = true;
  records_per_read_ = std::max(1, kRecordReadBytes / static_cast<int>(header_.record_size));
  ResetCacheFigures();
  CreateNewFile();
}

void TDataFile::EmptyDataFile() {
  cache_.Clear();
  window_count_ = 0;
  {
    TFileAccess guard(*this);
    SeekTo(0, DataStart());
    WriteData(nullptr, 0);
  }
  if (owner_->ForceBufferFlush()) FlushData();
  MarkModified();
  header_.change_count = 0;
  header_.first_deleted = 0;
  header_.next_record = 1;
  header_.last_row_id = 0;
  header_changed_ = true;
}

void TDataFile::AlterTableInfo(std::string_view password, std::string_view description,
                               int32_t last_row_id, uint16_t user_major, uint16_t user_minor) {
  if (header_.encrypted) {
    header_.password = ScrambleText(Cut(password, kMaxTablePasswordLength));
    header_.description = ScrambleText(Cut(description, kMaxTableDescriptionLength));
  } else {
    header_.password.clear();
    header_.description = Cut(description, kMaxTableDescriptionLength);
  }
  if (last_row_id != -1) header_.last_row_id = last_row_id;
  header_.user_major = user_major;
  header_.user_minor = user_minor;
  header_changed_ = true;
}

// ---- Records ----

TRecord* TDataFile::NewCacheEntry(int32_t n) {
  TRecord* record = cache_.Add(this, n, header_.record_size);
  if (record == nullptr && !owner_->InTransaction()) {
    FlushRecords();
    record = cache_.Add(this, n, header_.record_size);
  }
  if (record == nullptr) {
    cache_.Grow();
    record = cache_.Add(this, n, header_.record_size);
  }
  return record;
}

bool TDataFile::ShortReadAllowed() const {
  return (modified_ || owner_->ModifiedByThisProcess()) &&
         (owner_->Exclusive() || owner_->InTransaction());
}

bool TDataFile::GetRecord(TRequestingCursor* cursor, int32_t n, int read_ahead, TRecord** record) {
  *record = nullptr;
  ++requests_;
  if (n <= 0) RaiseTable(FICHA_FILECORRUPT);
  if (n == header_.next_record) {
    if (n > kMaxRecordCount ||
        DataStart() + static_cast<int64_t>(n) * header_.record_size > kMaxTableFileSize) {
      RaiseTable(FICHA_TABLEFULL);
    }
    TRecord* fresh = NewCacheEntry(n);
    // A new slot is dirty from the start, so that the file always holds as
    // many slots as the header counts, even if the caller never fills it.
    fresh->MarkDirty();
    fresh->Pin();
    header_.next_record++;
    header_changed_ = true;
    *record = fresh;
    return true;
  }
  if (n > header_.next_record) RaiseTable(FICHA_FILECORRUPT);
  if (TRecord* cached = cache_.Find(n)) {
    ++hits_;
    cache_.Touch(cached);
    cached->Pin();
    *record = cached;
    return true;
  }
  if (cursor != nullptr && !owner_->StrictChangeDetection() && cursor->CheckChangesBeforeRead()) {
    return false;
  }
  // The change check may have re-read the header; n must still be a slot.
  if (n >= header_.next_record) RaiseTable(FICHA_FILECORRUPT);
  int count = 1;
  bool forward = true;
  if (read_ahead > 1) {
    count = std::min({read_ahead, records_per_read_, header_.next_record - n});
  } else if (read_ahead < -1) {
    count = std::min({-static_cast<int64_t>(read_ahead), static_cast<int64_t>(records_per_read_),
                      static_cast<int64_t>(n)});
    forward = false;
  }
  ReadBlock(n, count, forward);
  TRecord* loaded = cache_.Find(n);
  if (loaded == nullptr || loaded->PinCount() == 0) RaiseTable(FICHA_FILECORRUPT);
  // ReadBlock pinned n so that the rest of the block could not evict it.
  cache_.Touch(loaded);
  *record = loaded;
  return true;
}

// Reads count records ending (backward) or starting (forward) at n in one
// piece and caches those not cached yet; n comes back pinned.
void TDataFile::ReadBlock(int32_t n, int count, bool forward) {
  int32_t first = forward ? n : n - count + 1;
  size_t size = header_.record_size;
  size_t bytes = static_cast<size_t>(count) * size;
  EnsureSize(read_buffer_, bytes);
  window_first_ = first;
  window_count_ = count;
  struct WindowReset {
    int32_t* count;
    ~WindowReset() { *count = 0; }
  } reset{&window_count_};

  int64_t got;
  {
    TFileAccess guard(*this);
    SeekTo(0, RecordOffset(first));
    got = ReadData(read_buffer_.data(), static_cast<int64_t>(bytes), true);
  }
  ++disk_reads_;
  if (got < 0) RaiseTable(FICHA_READERR);
  int complete = static_cast<int>(got / static_cast<int64_t>(size));
  if (complete < count && !ShortReadAllowed()) {
    // Missing slots are acceptable only when their current contents are in
    // the cache anyway (appended here and not written yet).
    for (int k = complete; k < count; ++k) {
      if (cache_.Find(first + k) == nullptr) RaiseTable(FICHA_READERR);
    }
  }
  for (int k = 0; k < complete; ++k) {
    int32_t number = first + k;
    if (TRecord* cached = cache_.Find(number)) {
      if (number == n) cached->Pin();
      continue;
    }
    TRecord* record = NewCacheEntry(number);
    uint8_t* data = record->Data();
    std::memcpy(data, read_buffer_.data() + static_cast<size_t>(k) * size, size);
    if (header_.encrypted) ScrambleBlock(data, size);
    if (!RecordIsDeleted(data)) SetRecordLink(data, number);
    if (number == n) record->Pin();
  }
  if (complete < count) {
    for (int k = complete; k < count; ++k) {
      if (first + k == n) {
        if (TRecord* cached = cache_.Find(n)) cached->Pin();
      }
    }
  }
}

int32_t TDataFile::NextSlotNumber() const {
  if (header_.first_deleted == 0 || !owner_->HasPrimaryIndex()) return header_.next_record;
  return header_.first_deleted;
}

TRecord* TDataFile::AllocateRecord() {
  int32_t slot = NextSlotNumber();
  bool from_chain = slot != header_.next_record;
  TRecord* record = nullptr;
  GetRecord(nullptr, slot, 1, &record);
  bool deleted = RecordIsDeleted(record->Data());
  if (from_chain && !deleted) {
    // A chain that leads to a live record is damaged; reusing the slot would
    // overwrite that record.
    ReleaseRecord(record);
    RaiseTable(FICHA_FILECORRUPT);
  }
  header_.first_deleted = deleted ? RecordLink(record->Data()) : 0;
  header_changed_ = true;
  return record;
}

void TDataFile::DeleteRecordSlot(TRecord* record) {
  uint8_t* data = record->Data();
  int32_t link = NextSlotNumber() == header_.next_record ? 0 : header_.first_deleted;
  SetRecordDeleted(data, true);
  SetRecordLink(data, link);
  header_.first_deleted = record->Number();
  record->MarkDirty();
  header_changed_ = true;
}

// Dirty records are written even while a cursor holds them: a cursor keeps
// its current record pinned, and its own change must reach the file with
// the write-back that ends the change.
bool TDataFile::FlushRecords() {
  std::vector<TRecord*> dirty;
  for (TRecord* record : cache_.Ordered()) {
    if (!record->Dirty()) continue;
    if (window_count_ > 0 && record->Number() >= window_first_ &&
        record->Number() < window_first_ + window_count_) {
      continue;
    }
    dirty.push_back(record);
  }
  if (dirty.empty()) return false;
  size_t size = header_.record_size;
  size_t i = 0;
  while (i < dirty.size()) {
    size_t j = i + 1;
    while (j < dirty.size() && dirty[j]->Number() == dirty[j - 1]->Number() + 1) ++j;
    size_t bytes = (j - i) * size;
    EnsureSize(write_buffer_, bytes);
    for (size_t k = i; k < j; ++k) {
      uint8_t* out = write_buffer_.data() + (k - i) * size;
      std::memcpy(out, dirty[k]->Data(), size);
      if (header_.encrypted) ScrambleBlock(out, size);
    }
    {
      TFileAccess guard(*this);
      SeekTo(0, RecordOffset(dirty[i]->Number()));
      WriteData(write_buffer_.data(), static_cast<int64_t>(bytes));
    }
    for (size_t k = i; k < j; ++k) dirty[k]->ClearDirty();
    i = j;
  }
  MarkModified();
  return true;
}

void TDataFile::DiscardRecords() {
  cache_.Clear();
  cache_.SetCapacity(std::max(cache_.Capacity(), CacheLimit()));
}

void TDataFile::TrimRecordCache() { cache_.Trim(CacheLimit()); }

void TDataFile::ReleaseRecord(TRecord* record) {
  if (record != nullptr) record->Unpin();
}

bool TDataFile::WriteBack(bool force_header, bool force_os_flush) {
  if (owner_->InTransaction()) {
    if (force_header || header_changed_) MarkHeaderChanged();
    return false;
  }
  bool wrote = FlushRecords();
  wrote = WriteHeader(force_header) || wrote;
  wrote = WriteFieldDefs() || wrote;
  if (wrote && (force_os_flush || owner_->ForceBufferFlush())) FlushData();
  return wrote;
}

bool TDataFile::AllRecordsCached() const {
  const std::vector<TRecord*>& ordered = cache_.Ordered();
  int32_t slots = header_.next_record - 1;
  if (static_cast<int64_t>(ordered.size()) != slots) return false;
  for (size_t i = 0; i < ordered.size(); ++i) {
    if (ordered[i]->Number() != static_cast<int32_t>(i + 1)) return false;
  }
  return true;
}

void TDataFile::RenumberRecords(const std::vector<TRecord*>& order) {
  cache_.Renumber(order);
  for (TRecord* record : order) {
    SetRecordLink(record->Data(), record->Number());
    record->MarkDirty();
  }
  header_.next_record = static_cast<int32_t>(order.size()) + 1;
  header_.first_deleted = 0;
  header_changed_ = true;
  {
    TFileAccess guard(*this);
    SeekTo(0, RecordOffset(header_.next_record));
    WriteData(nullptr, 0);
  }
  MarkModified();
}

}  // namespace ficha
