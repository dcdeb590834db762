#include "components/DatabaseErrors.h"

#include <string>

#include "common/EngineError.h"

namespace ficha {

void RaiseDatabaseError(std::string_view text, std::string_view name) {
  std::string message(text);
  size_t pos = message.find("%s");
  if (pos != std::string::npos) message.replace(pos, 2, name);
  throw EDatabaseError(message);
}

}  // namespace ficha
