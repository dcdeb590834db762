// Field definition, 768 bytes, little-endian. string[n] is one length byte
// followed by n bytes of text, unused bytes zero.
//
//   offset  width        content
//   0       2 unsigned   field number (= position, 1 ... field count)
//   2       string[30]   field name
//   33      string[50]   field description
//   84      1            field type (FieldTypes.h)
//   85      1            subtype, 0 when none
//   86      1            declared size: characters (string), bytes (bytes,
//                        variable bytes); 0 for other types
//   87      1            declared decimal places (BCD only)
//   88      1            physical size of the value in the record
//   89      1            physical decimal places (copy of offset 87)
//   90      2 unsigned   offset of the field's null byte in the record
//                        (autoincrement: 5, the row identifier)
//   92      1            required (0 or 1)
//   93      1            character case: 0 unchanged, 1 lower, 2 upper
//   94      string[50]   minimum value (literal text, empty for none)
//   145     string[50]   maximum value
//   196     string[50]   default value
//   247     1            calculated column (SQL result tables only)
//   248     520          zero (in memory: the calculated column's expression)
#include "engine/data/FieldDef.h"

#include <algorithm>
#include <cstring>

#include "common/ShortString.h"
#include "engine/data/RecordLayout.h"

namespace ficha {

TFieldDef MakeFieldDef(uint16_t number, std::string_view name, uint8_t type, uint8_t size,
                       uint8_t subtype, uint8_t decimals) {
  TFieldDef def;
  def.number = number;
  def.name = std::string(name);
  def.type = type;
  def.size = size;
  def.subtype = subtype;
  def.decimals = decimals;
  return def;
}

void EncodeFieldDef(const TFieldDef& def, uint8_t* out) {
  std::memset(out, 0, kFieldDefSize);
  PutU16(out + 0, def.number);
  PutShortString(out + 2, def.name, kMaxFieldNameLength);
  PutShortString(out + 33, def.description, kMaxFieldDescriptionLength);
  out[84] = def.type;
  out[85] = def.subtype;
  out[86] = def.size;
  out[87] = def.decimals;
  out[88] = def.phys_size;
  out[89] = def.phys_decimals;
  PutU16(out + 90, def.offset);
  out[92] = def.required ? 1 : 0;
  out[93] = def.char_case;
  PutShortString(out + 94, def.min_value, kMaxFieldLiteralLength);
  PutShortString(out + 145, def.max_value, kMaxFieldLiteralLength);
  PutShortString(out + 196, def.default_value, kMaxFieldLiteralLength);
  out[247] = def.calculated ? 1 : 0;
}

TFieldDef DecodeFieldDef(const uint8_t* in) {
  TFieldDef def;
  def.number = GetU16(in + 0);
  def.name = GetShortString(in + 2, kMaxFieldNameLength);
  def.description = GetShortString(in + 33, kMaxFieldDescriptionLength);
  def.type = in[84];
  def.subtype = in[85];
  def.size = in[86];
  def.decimals = in[87];
  def.phys_size = in[88];
  def.phys_decimals = in[89];
  def.offset = GetU16(in + 90);
  def.required = in[92] != 0;
  def.char_case = in[93];
  def.min_value = GetShortString(in + 94, kMaxFieldLiteralLength);
  def.max_value = GetShortString(in + 145, kMaxFieldLiteralLength);
  def.default_value = GetShortString(in + 196, kMaxFieldLiteralLength);
  def.calculated = in[247] != 0;
  return def;
}

}  // namespace ficha
