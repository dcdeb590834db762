// Front door of the storage engine: data, index and blob files, sessions,
// databases and shared tables.
#pragma once

#include "lib/fichalb.h"
