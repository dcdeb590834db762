#include "common/ErrorCodes.h"

#include <gtest/gtest.h>

namespace ficha {
namespace {

TEST(ErrorCodes, TextsAndNamesByCode) {
  struct Case {
    int code;
    std::string_view name;
    std::string_view text;
  } cases[] = {
      {FICHA_BOF, "FICHA_BOF", "Beginning of table '%s' unexpectedly encountered"},
      {FICHA_KEYVIOL, "FICHA_KEYVIOL", "Duplicate key found in the index '%s' of the table '%s'"},
      {FICHA_OSUNKNOWN, "FICHA_OSUNKNOWN",
       "An unknown operating system error %s occurred with the table '%s'"},
      {FICHA_REMOTECALLBACK, "FICHA_REMOTECALLBACK", ""},
      {FICHA_CANNOTLOADLDDRV, "FICHA_CANNOTLOADLDDRV",
       "The language driver for the table '%s' is not available or installed"},
      {1234, "", ""},
      {FICHA_NONE, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EngineErrorName(c.code), c.name) << c.code;
    EXPECT_EQ(EngineErrorText(c.code), c.text) << c.code;
  }
}

}  // namespace
}  // namespace ficha
