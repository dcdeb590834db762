// Front door of the engine's shared constants: error codes and the error
// model that every layer raises through.
#pragma once

#include "common/EngineError.h"
#include "common/ErrorCodes.h"
