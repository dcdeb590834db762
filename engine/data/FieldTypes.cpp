// Physical sizes of the field types, in bytes of the record (the null byte
// in front of each value not counted):
//
//   type  size                 type  size
//   1     declared size + 1    10    4
//   2     4                    11    8
//   3     8                    12    2
//   4     2                    13    4
//   5     2                    14    10
//   6     4                    15    declared size
//   7     8                    18    8
//   8     34
//   9     declared size
#include "engine/data/FieldTypes.h"

namespace ficha {

bool IsKnownFieldType(uint8_t type) { return (type >= 1 && type <= 15) || type == kFldLargeInt; }

bool HasDeclaredSize(uint8_t type) {
  return type == kFldString || type == kFldBytes || type == kFldVarBytes;
}

int FieldPhysicalSize(uint8_t type, uint8_t declared_size) {
  switch (type) {
    case kFldString:
      return declared_size + 1;
    case kFldDate:
    case kFldInteger:
    case kFldTime:
    case kFldType13:
      return 4;
    case kFldBlob:
    case kFldFloat:
    case kFldTimestamp:
    case kFldLargeInt:
      return 8;
    case kFldBoolean:
    case kFldSmallInt:
    case kFldWord:
      return 2;
    case kFldBcd:
      return 34;
    case kFldBytes:
    case kFldVarBytes:
      return declared_size;
    case kFldType14:
      return 10;
    default:
      return -1;
  }
}

}  // namespace ficha
