// Front door of the data-access components: session list, sessions,
// databases (and, later, queries and tables).
#pragma once

#include "common/Fichacn.h"
