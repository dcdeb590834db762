// Front door of the engine library: file layer, bitmaps of record numbers,
// languages and collation, literal formats.
#pragma once

#include "common/Fichacn.h"
