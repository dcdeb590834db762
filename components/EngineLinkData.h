// The engine link over the storage engine's own objects: an EngineSession
// that owns a TDataSession and hands out EngineDatabase objects that stand
// for its TDataDirectory databases (one per engine database, reused while the
// engine reuses it). CreateEngineSession (EngineLink.h) returns one of these.
#pragma once

#include <memory>

#include "components/EngineLink.h"

namespace ficha {

class TDataDirectory;
class TDataSession;

// An EngineDatabase that is one of the storage engine's databases.
class EngineDataDatabase : public EngineDatabase {
 public:
  // The engine database, for the datasets that open cursors on it.
  virtual TDataDirectory* DataDirectory() const = 0;
};

// A new engine session over a new TDataSession.
std::unique_ptr<EngineSession> CreateDataEngineSession();

// The engine database behind database, or nullptr when database does not come
// from CreateDataEngineSession.
TDataDirectory* DataDirectoryOf(EngineDatabase* database);

}  // namespace ficha
