// TIndexFile: header, index definitions, page allocation and the page cache.
// The header and slot layouts are in IndexHeader.h, the page image in
// Page.cpp; the B-tree operations are in IndexTree.cpp.
#include "engine/index/IndexFile.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/EngineError.h"
#include "common/ErrorCodes.h"
#include "engine/data/FieldDefCheck.h"
#include "engine/data/Scramble.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace ficha {

namespace {

std::string TrimName(std::string_view name) {
  size_t b = 0, e = name.size();
  while (b < e && static_cast<unsigned char>(name[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(name[e - 1]) <= ' ') --e;
  return std::string(name.substr(b, e - b));
}

bool SameName(std::string_view a, std::string_view b) {
  const std::string x = TrimName(a), y = TrimName(b);
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(x[i]), d = static_cast<unsigned char>(y[i]);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
    if (d >= 'a' && d <= 'z') d = static_cast<unsigned char>(d - 32);
    if (c != d) return false;
  }
  return true;
}

}  // namespace

TIndexFile::TIndexFile(TTableOwner* owner) : owner_(owner) {
  const size_t capacity = InitialCacheCapacity();
  for (TPageList& list : caches_) {
    list.capacity = capacity;
    list.pages.reserve(capacity);
  }
  io_buffer_.resize(kIndexPageSize);
}

TIndexFile::~TIndexFile() { CloseFile(); }

size_t TIndexFile::InitialCacheCapacity() const {
  // The budget is divided by twice the page size: 16,384 bytes give 2 pages.
  const int64_t n = owner_->CacheLimits().index_bytes / 8192;
  return n < 1 ? 1 : static_cast<size_t>(n);
}

void TIndexFile::RaiseTable(int code, std::string_view index_name) const {
  RaiseEngineError(code, owner_->TableName(), {}, index_name);
}

// ---------------------------------------------------------------- open/close

void TIndexFile::OpenFile() {
  if (IsOpen()) return;
  TFileHandler::OpenFile();
  try {
    ReadIndexHeader();
    if (SecondaryCount() > 32) RaiseTable(FICHA_HEADERCORRUPT);
  } catch (...) {
    TFileHandler::CloseFile();
    throw;
  }
  counters_ = TPageCacheCounters();
}

void TIndexFile::CloseFile() {
  DropTemporary();
  DiscardPages();
  TFileHandler::CloseFile();
}

void TIndexFile::CreateNewFile() {
  DropTemporary();
  DiscardPages();
  TFileHandler::CreateNewFile();
  header_.fill(0);
  header_[kIdxHdrVersion] = kIndexVersion;
  PutI32(header_.data() + kIdxHdrNextPage, 1);
  InitSystemSlots();
  InvalidateKeys();
  header_changed_ = true;
}

void TIndexFile::InitSystemSlots() {
  TIndexDef deleted;
  deleted.name = "Sys Deleted";
  deleted.key_size = kSysDeletedKeySize;
  deleted.unique = true;  // the row identifier is part of its own key
  PutSlot(kSysDeletedIndex, deleted);
  TIndexDef text;
  text.name = "Sys Text";
  text.key_size = kSysTextKeySize;
  text.compression = 3;
  text.unique = false;  // trailing zeros of a word are trimmed before the row identifier
  PutSlot(kSysTextIndex, text);
}

void TIndexFile::DropTemporary() {
  // Temporary slots leave with their cached pages; the slots after them
  // move down as in RemoveIndex.
  int n = SecondaryCount();
  for (int i = std::min(n, kMaxSecondaryIndexes); i >= 1; --i) {
    if (!IsTemporaryIndex(i)) continue;
    TPageList& list = caches_[i];
    for (TPage* page : list.pages) delete page;
    list = TPageList();
    list.capacity = InitialCacheCapacity();
    for (int s = i; s < n; ++s) std::memcpy(Slot(s), Slot(s + 1), kIndexSlotSize);
    std::rotate(caches_.begin() + i, caches_.begin() + i + 1, caches_.begin() + n + 1);
    for (int s = i; s < n; ++s)
      for (TPage* page : caches_[s].pages) page->SetFormat(FormatOf(s));
    std::memset(Slot(n), 0, kIndexSlotSize);
    --n;
    header_[kIdxHdrSecondaryCount] = static_cast<uint8_t>(n);
    InvalidateKeys();
  }
  if (temp_file_) {
    temp_file_->CloseFile();
    try {
      temp_file_->RemoveFile();
    } catch (const EFichaEngineError&) {
      // A file we cannot delete stays behind in the private directory.
    }
    temp_file_.reset();
  }
  temp_next_page_ = 1;
}

void TIndexFile::SetKeyContext(const std::vector<TFieldDef>& fields, const TKeyLanguage& language) {
  fields_ = fields;
  language_ = language;
  InvalidateKeys();
}

void TIndexFile::InvalidateKeys() {
  for (auto& k : keys_) k.reset();
}

const TKeyDescriptor& TIndexFile::Keys(int index) {
  std::optional<TKeyDescriptor>& k = keys_[index];
  if (!k) {
    k.emplace();
    const TIndexDef def = IndexDefinition(index);
    // Pages follow the slot's key size; a system slot whose size is not that
    // of its fixed key layout cannot be used.
    const bool bad_system_size =
        (index == kSysDeletedIndex && def.key_size != kSysDeletedKeySize) ||
        (index == kSysTextIndex && def.key_size != kSysTextKeySize);
    if (bad_system_size || k->Resolve(def, index, fields_, language_) < 0) {
      k.reset();
      RaiseTable(FICHA_HEADERCORRUPT, def.name);
    }
  }
  return *k;
}

// ---------------------------------------------------------------- header

std::array<uint8_t, kIndexHeaderSize> TIndexFile::ReadHeaderImage() {
  std::array<uint8_t, kIndexHeaderSize> image;
  {
    TFileAccess access(*this);
    SeekTo(0, 0);
    ReadData(image.data(), kIndexHeaderSize, false);
  }
  if (encrypted_) ScrambleBlock(image.data(), kIndexHeaderSize);
  return image;
}

void TIndexFile::ReadIndexHeader() {
  const std::array<uint8_t, kIndexHeaderSize> image = ReadHeaderImage();
  if (image[kIdxHdrVersion] != kIndexVersion) RaiseTable(FICHA_OLDVERSION);
  TakeHeader(image);
}

bool TIndexFile::IndexHeaderChanged() {
  const std::array<uint8_t, kIndexHeaderSize> image = ReadHeaderImage();
  if (GetI32(image.data()) == ChangeCount()) return false;
  if (image[kIdxHdrVersion] != kIndexVersion) RaiseTable(FICHA_OLDVERSION);
  if (image[kIdxHdrSecondaryCount] > 32) RaiseTable(FICHA_HEADERCORRUPT);
  TakeHeader(image);
  return true;
}

void TIndexFile::TakeHeader(const std::array<uint8_t, kIndexHeaderSize>& image) {
  // Temporary slots exist only in this process (another writer never sees
  // them); carry them over to the new header.
  std::vector<std::array<uint8_t, kIndexSlotSize>> temporary;
  for (int i = 1; i <= SecondaryCount() && i <= kMaxSecondaryIndexes; ++i) {
    if (IsTemporaryIndex(i)) {
      std::array<uint8_t, kIndexSlotSize> slot;
      std::memcpy(slot.data(), Slot(i), kIndexSlotSize);
      temporary.push_back(slot);
    }
  }
  header_ = image;
  for (const auto& slot : temporary) {
    const int n = SecondaryCount() + 1;
    if (n > kMaxSecondaryIndexes) break;
    std::memcpy(Slot(n), slot.data(), kIndexSlotSize);
    header_[kIdxHdrSecondaryCount] = static_cast<uint8_t>(n);
  }
  header_changed_ = false;
  InvalidateKeys();
}

bool TIndexFile::WriteIndexHeader(bool force) {
  if (!force && !header_changed_) return false;
  PutI32(header_.data() + kIdxHdrChangeCount, ChangeCount() + 1);
  std::array<uint8_t, kIndexHeaderSize> image = header_;
  int count = image[kIdxHdrSecondaryCount];
  for (int i = 1; i <= kMaxSecondaryIndexes; ++i) {
    uint8_t* slot = image.data() + kIdxHdrSlots + kIndexSlotSize * i;
    if (GetU16(slot + 31) != 0 && slot[101] != 0) {
      std::memset(slot, 0, kIndexSlotSize);
      if (count > 0) --count;
    }
  }
  image[kIdxHdrSecondaryCount] = static_cast<uint8_t>(count);
  image[kIdxHdrChanged] = header_changed_ ? 1 : 0;
  if (encrypted_) ScrambleBlock(image.data(), kIndexHeaderSize);
  {
    TFileAccess access(*this);
    SeekTo(0, 0);
    WriteData(image.data(), kIndexHeaderSize);
  }
  owner_->MarkModified();
  header_changed_ = false;
  return true;
}

void TIndexFile::MarkIndexHeaderChanged() {
  header_changed_ = true;
  owner_->SetChangedInTransaction();
}

void TIndexFile::MarkChanged() {
  header_changed_ = true;
  if (owner_->InTransaction()) owner_->SetChangedInTransaction();
}

void TIndexFile::EmptyIndexFile() {
  DiscardPages();
  {
    TFileAccess access(*this);
    SeekTo(0, kIndexHeaderSize);
    WriteData(nullptr, 0);
  }
  if (owner_->ForceBufferFlush()) FlushData();
  header_[kIdxHdrVersion] = kIndexVersion;
  PutI32(header_.data() + kIdxHdrNextPage, 1);
  PutI32(header_.data() + kIdxHdrActiveRecords, 0);
  for (int i = 0; i < kIndexSlotCount; ++i) {
    PutI32(Slot(i) + 86, 0);
    PutI32(Slot(i) + 90, 0);
    PutI32(Slot(i) + 96, 0);
  }
  if (temp_file_) {
    temp_file_->SeekTo(0, 0);
    temp_file_->WriteData(nullptr, 0);
    temp_next_page_ = 1;
  }
  MarkChanged();
}

void TIndexFile::ValidateIndexHeader() {
  const int32_t next = NextPageNumber();
  bool ok = next >= 1 && next <= 2000000001 && SecondaryCount() <= kMaxSecondaryIndexes &&
            GetFileSize() >= kIndexHeaderSize;
  for (int i = 0; ok && i < kIndexSlotCount; ++i) {
    if (!IndexInUse(i)) continue;
    const TIndexDef d = IndexDefinition(i);
    ok = d.key_size <= kMaxKeySize && d.field_count <= kMaxKeyFields && d.compression <= 3 &&
         d.root_page >= 0 && d.first_free_page >= 0 &&
         (d.temporary || (d.root_page < next && d.first_free_page <= next));
  }
  if (!ok) RaiseTable(FICHA_HEADERCORRUPT);
}

// ---------------------------------------------------------------- definitions

TIndexDef TIndexFile::IndexDefinition(int index) const { return TIndexDef::Decode(Slot(index)); }

void TIndexFile::PutSlot(int index, const TIndexDef& def) {
  def.Encode(Slot(index));
  keys_[index].reset();
  MarkChanged();
}

bool TIndexFile::IndexInUse(int index) const {
  if (index < 0 || index >= kIndexSlotCount) return false;
  if (index >= 1 && index <= kMaxSecondaryIndexes && index > SecondaryCount()) return false;
  return GetU16(Slot(index) + 31) != 0;
}

bool TIndexFile::IsTemporaryIndex(int index) const {
  return index >= 1 && index <= kMaxSecondaryIndexes && Slot(index)[101] != 0;
}

int32_t TIndexFile::RootPage(int index) const { return GetI32(Slot(index) + 86); }
void TIndexFile::SetRootPage(int index, int32_t page) {
  PutI32(Slot(index) + 86, page);
  MarkChanged();
}
int32_t TIndexFile::FirstFreePage(int index) const { return GetI32(Slot(index) + 90); }

void TIndexFile::SetActiveRecords(int32_t count) {
  PutI32(header_.data() + kIdxHdrActiveRecords, count);
  MarkChanged();
}

void TIndexFile::SetNoPrimaryIndex(bool on) {
  if (on) {
    // Only the free chain and the settings chain outlive the definition.
    uint8_t* slot = Slot(kPrimaryIndex);
    const int32_t free_page = GetI32(slot + 90);
    const int32_t settings = GetI32(slot + 96);
    std::memset(slot, 0, kIndexSlotSize);
    PutI32(slot + 90, free_page);
    PutI32(slot + 96, settings);
    keys_[kPrimaryIndex].reset();
  }
  header_[kIdxHdrNoPrimary] = on ? 1 : 0;
  MarkChanged();
}

int TIndexFile::IndexNumber(std::string_view name) const {
  for (int i = 0; i < kIndexSlotCount; ++i) {
    if (!IndexInUse(i)) continue;
    const uint8_t* slot = Slot(i);
    const std::string_view slot_name(reinterpret_cast<const char*>(slot + 1),
                                     std::min<int>(slot[0], kMaxIndexNameLength));
    if (SameName(slot_name, name)) return i;
  }
  return -1;
}

void TIndexFile::CheckDefinitionFields(const TIndexDef& def) const {
  if (fields_.empty()) return;  // checked by whoever knows the fields
  const int r = KeyFieldBytes(def.field_numbers.data(), def.field_count, fields_, false);
  if (r == -FICHA_INVALIDIDXDESC) {
    for (int i = 0; i < def.field_count; ++i) {
      const uint16_t n = def.field_numbers[i];
      if (n < 1 || n > fields_.size())
        RaiseEngineError(FICHA_INVALIDIDXDESC, owner_->TableName(), std::to_string(n), def.name);
    }
  }
  if (r == -FICHA_SEARCHCOLREQD) {
    for (int i = 0; i < def.field_count; ++i) {
      const TFieldDef& f = fields_[def.field_numbers[i] - 1];
      if (f.type == 3) RaiseEngineError(FICHA_SEARCHCOLREQD, owner_->TableName(), f.name, def.name);
    }
  }
  if (r < 0) RaiseEngineError(-r, owner_->TableName(), {}, def.name);
  if (r + (def.unique ? 0 : 4) != def.key_size)
    RaiseEngineError(FICHA_INVALIDKEY, owner_->TableName(), {}, def.name);
}

void TIndexFile::CheckNewName(std::string_view name, int except_index) const {
  const std::string trimmed = TrimName(name);
  if (trimmed.empty()) RaiseTable(FICHA_INDEXNAMEREQUIRED);
  // A name must fit its slot; a longer one would be stored cut.
  if (!IsIdentifierStart(static_cast<unsigned char>(trimmed[0])) ||
      trimmed.size() > kMaxIndexNameLength)
    RaiseEngineError(FICHA_INVALIDINDEXNAME, owner_->TableName(), {}, trimmed);
  const int existing = IndexNumber(trimmed);
  if (existing >= 0 && existing != except_index)
    RaiseEngineError(FICHA_INDEXEXISTS, owner_->TableName(), {}, trimmed);
}

void TIndexFile::DefinePrimaryIndex(const TIndexDef& definition) {
  if (GetU16(Slot(kPrimaryIndex) + 31) != 0) RaiseTable(FICHA_PRIMARYKEYREDEFINE);
  if (definition.field_count > kMaxKeyFields) RaiseTable(FICHA_INDEXLIMIT);
  if (definition.field_count == 0) {
    SetNoPrimaryIndex(true);
    return;
  }
  TIndexDef def = definition;
  def.name.clear();
  def.unique = true;
  if (def.descending)
    for (int i = 0; i < def.field_count; ++i) def.field_descending[i] = 1;
  CheckDefinitionFields(def);
  SetNoPrimaryIndex(false);
  const TIndexDef old = IndexDefinition(kPrimaryIndex);
  def.root_page = 0;
  def.first_free_page = old.first_free_page;
  def.reserved94 = old.reserved94;
  def.first_settings_page = old.first_settings_page;
  def.temporary = false;
  PutSlot(kPrimaryIndex, def);
}

void TIndexFile::AddSecondaryIndex(const TIndexDef& definition) {
  const int n = SecondaryCount();
  if (n >= kMaxSecondaryIndexes || definition.field_count > kMaxKeyFields)
    RaiseTable(FICHA_INDEXLIMIT);
  CheckNewName(definition.name, -1);
  TIndexDef def = definition;
  def.name = TrimName(definition.name);
  if (def.descending)
    for (int i = 0; i < def.field_count; ++i) def.field_descending[i] = 1;
  CheckDefinitionFields(def);
  if (def.temporary) OpenTemporaryFile();
  const int slot = n + 1;
  const TIndexDef old = IndexDefinition(slot);
  def.root_page = 0;
  def.first_free_page = def.temporary ? 0 : old.first_free_page;
  def.reserved94 = old.reserved94;
  def.first_settings_page = old.first_settings_page;
  // The slot's cache may still hold freed pages of a removed index.
  header_[kIdxHdrSecondaryCount] = static_cast<uint8_t>(slot);
  PutSlot(slot, def);
  if (def.temporary) return;
  // Temporary slots stay after the persistent ones, so that the header on
  // disk (which leaves them out) numbers the persistent indexes as memory
  // does: the new slot moves in front of the first temporary one.
  int first_temp = 0;
  for (int i = 1; i < slot && first_temp == 0; ++i)
    if (IsTemporaryIndex(i)) first_temp = i;
  if (first_temp == 0) return;
  std::array<uint8_t, kIndexSlotSize> added;
  std::memcpy(added.data(), Slot(slot), kIndexSlotSize);
  for (int i = slot; i > first_temp; --i) std::memcpy(Slot(i), Slot(i - 1), kIndexSlotSize);
  std::memcpy(Slot(first_temp), added.data(), kIndexSlotSize);
  std::rotate(caches_.begin() + first_temp, caches_.begin() + slot, caches_.begin() + slot + 1);
  for (int i = first_temp; i <= slot; ++i)
    for (TPage* page : caches_[i].pages) page->SetFormat(FormatOf(i));
  InvalidateKeys();
}

void TIndexFile::OpenTemporaryFile() {
  if (temp_file_) return;
  std::string dir = owner_->PrivateDirectory();
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  std::string thread = std::to_string(static_cast<long>(syscall(SYS_gettid)));
  if (thread.size() > 5) thread.resize(5);
  auto file = std::make_unique<TFileHandler>();
  file->SetInMemory(InMemory());
  for (int counter = 0;; ++counter) {
    file->SetName(dir + thread + std::to_string(counter) + ".IDX");
    if (!file->FileExists()) break;
  }
  file->SetExclusive(true);
  file->CreateNewFile();
  temp_file_ = std::move(file);
  temp_next_page_ = 1;
}

void TIndexFile::RemoveIndex(int index) {
  if (index == kPrimaryIndex) {
    SetNoPrimaryIndex(true);
    return;
  }
  const int n = SecondaryCount();
  // Shifting more slots than secondary indexes exist would move the system
  // slots.
  if (n > kMaxSecondaryIndexes) RaiseTable(FICHA_HEADERCORRUPT);
  if (index < 1 || index > n) RaiseTable(FICHA_INVALIDINDEXDELETE);
  std::array<uint8_t, kIndexSlotSize> removed;
  std::memcpy(removed.data(), Slot(index), kIndexSlotSize);
  for (int i = index; i < n; ++i) std::memcpy(Slot(i), Slot(i + 1), kIndexSlotSize);
  std::memcpy(Slot(n), removed.data(), kIndexSlotSize);
  // The caches follow their slots; the removed index's cache (freed pages)
  // goes with its slot bytes.
  std::rotate(caches_.begin() + index, caches_.begin() + index + 1, caches_.begin() + n + 1);
  for (int i = index; i <= n; ++i)
    for (TPage* page : caches_[i].pages) page->SetFormat(FormatOf(i));
  header_[kIdxHdrSecondaryCount] = static_cast<uint8_t>(n - 1);
  InvalidateKeys();
  MarkChanged();
}

void TIndexFile::RenameIndex(int index, std::string_view name) {
  if (index < 1 || index > SecondaryCount()) RaiseTable(FICHA_INVALIDINDEXNAME);
  CheckNewName(name, index);
  TIndexDef def = IndexDefinition(index);
  def.name = TrimName(name);
  PutSlot(index, def);
}

TPageFormat TIndexFile::FormatOf(int index) const {
  const uint8_t* slot = Slot(index);
  TPageFormat f;
  f.index = index;
  f.key_size = GetU16(slot + 31);
  f.descending = slot[33] != 0;
  f.unique = slot[35] != 0;
  f.compression = slot[36];
  f.no_counts = slot[100] != 0 || index == kSysTextIndex;
  return f;
}

TFileHandler& TIndexFile::FileOf(int index) {
  if (IsTemporaryIndex(index) && temp_file_) return *temp_file_;
  return *this;
}

}  // namespace ficha
