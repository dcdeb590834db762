// The engine behind the components: the storage engine's own session and
// databases (EngineLinkData.h).
#include "components/EngineLink.h"

#include "components/EngineLinkData.h"

namespace ficha {

std::unique_ptr<EngineSession> CreateEngineSession() { return CreateDataEngineSession(); }

}  // namespace ficha
