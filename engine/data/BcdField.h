// BCD fields: how values enter and leave the 34-byte packed form in a record.
//
// Values travel as signed 64-bit integers scaled by 10,000, so a BCD field
// holds at most four significant decimal places: with fewer declared places
// the value is rounded half away from zero to them (12.3456 in a field with
// two places stores 12.35), with more the extra places are zero. The packed
// form itself is the literal module's (lib/literal/Bcd.h).
#pragma once

#include <cstdint>

#include "lib/literal/Bcd.h"

namespace ficha {

// Writes scaled into the field's 34 value bytes with the field's declared
// decimal places. False (bytes zeroed) when decimals is above 32 or the
// value does not fit.
bool PutBcdValue(uint8_t* value, int64_t scaled, uint8_t decimals);

// Reads the field's 34 value bytes as a value scaled by 10,000. False (0)
// for an image that is not a valid value.
bool GetBcdValue(const uint8_t* value, int64_t* scaled);

}  // namespace ficha
