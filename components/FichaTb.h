// Front door of the data-access components: session list, sessions,
// databases (and, later, queries and tables).
#pragma once

#include "common/Fichacn.h"
#include "components/Component.h"
#include "components/DatabaseErrors.h"
#include "components/EngineLink.h"
#include "components/FichaDatabase.h"
#include "components/FichaSession.h"
#include "components/SessionList.h"
