// Process-wide number and date format settings, fixed when the utility
// starts (decimal separator "," and short date format "dd/mm/yyyy").
// Values are written once by the window's creation and read afterwards from
// the one thread of the run.
#pragma once

#include <string>

namespace ficha {

struct TFormatSettings {
  char DecimalSeparator = '.';
  std::string ShortDateFormat = "yyyy-mm-dd";
};

// The settings of this process.
TFormatSettings& FormatSettings();

// The date formatted by a pattern of "dd", "mm" and "yyyy" (other characters
// are copied): FormatDate("dd/mm/yyyy", 2013, 9, 2) is "02/09/2013".
std::string FormatDate(const std::string& pattern, int year, int month, int day);

}  // namespace ficha
