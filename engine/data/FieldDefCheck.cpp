// Checks of field definitions and of the table-wide limits of a new table.
#include "engine/data/FieldDefCheck.h"

#include <algorithm>

#include "common/EngineError.h"
#include "common/ErrorCodes.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/RecordLayout.h"
#include "lib/lang/LanguageTable.h"
#include "lib/literal/Literal.h"

namespace ficha {
namespace {

constexpr size_t kMaxIndexDefinitions = 32;

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace

bool IsIdentifierStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
}

std::string FieldNameKey(std::string_view name) {
  std::string key = Trim(name);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

bool IsValidFieldLiteralFor(uint8_t type, std::string_view text) {
  return IsValidFieldLiteral(type, text);
}

void CheckNewTableLimits(std::string_view table_name, bool encrypted, std::string_view password,
                         uint16_t language, uint16_t sort, size_t field_count, size_t index_count,
                         uint16_t blob_block_size) {
  if (encrypted) {
    std::string trimmed = Trim(password);
    if (trimmed.empty() || trimmed.size() > kMaxTablePasswordLength) {
      RaiseEngineError(FICHA_INVALIDPASSWORD, table_name);
    }
  }
  if (language != 0 && !IsLanguageInstalled(language, sort)) {
    RaiseEngineError(FICHA_CANNOTLOADLDDRV, table_name);
  }
  if (field_count > kMaxFieldCount) RaiseEngineError(FICHA_FLDLIMIT, table_name);
  if (index_count > kMaxIndexDefinitions) RaiseEngineError(FICHA_INDEXLIMIT, table_name);
  if (blob_block_size < kMinBlobBlockSize) RaiseEngineError(FICHA_BLOBLIMIT, table_name);
}

void CheckNewFieldDefs(std::string_view table_name, std::vector<TFieldDef>& defs) {
  std::vector<std::string> names;
  std::vector<uint16_t> numbers;
  for (TFieldDef& def : defs) {
    def.name = Trim(def.name);
    std::string key = FieldNameKey(def.name);
    if (key.empty() || key.size() > kMaxFieldNameLength ||
        !IsIdentifierStart(static_cast<unsigned char>(key[0])) ||
        std::find(names.begin(), names.end(), key) != names.end()) {
      RaiseEngineError(FICHA_INVALIDFIELDNAME, table_name, def.name);
    }
    names.push_back(key);
    bool sized = HasDeclaredSize(def.type);
    if (std::find(numbers.begin(), numbers.end(), def.number) != numbers.end() ||
        !IsKnownFieldType(def.type) ||
        (sized && (def.size < 1 || def.size > kMaxDeclaredFieldSize))) {
      RaiseEngineError(FICHA_INVALIDFLDTYPE, table_name, def.name);
    }
    numbers.push_back(def.number);
    if (!sized) def.size = 0;
    if (!IsValidFieldLiteralFor(def.type, def.default_value) ||
        !IsValidFieldLiteralFor(def.type, def.min_value) ||
        !IsValidFieldLiteralFor(def.type, def.max_value)) {
      RaiseEngineError(FICHA_INVALIDVCHKSTRUCT, table_name, def.name);
    }
    if (def.type != kFldBcd) def.decimals = 0;
  }
  AssignFieldLayout(defs);
}

}  // namespace ficha
