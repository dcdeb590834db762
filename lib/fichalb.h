// Front door of the engine library: file layer, bitmaps of record numbers,
// languages and collation, literal formats.
#pragma once

#include "common/Fichacn.h"

#include "lib/bitmap/RecordsBitmap.h"
#include "lib/bitmap/RecordsBitmapStack.h"
#include "lib/file/AbstractFile.h"
#include "lib/file/FileHandler.h"
#include "lib/file/FileList.h"
#include "lib/file/MemoryFile.h"
#include "lib/file/OsError.h"
#include "lib/file/OsPath.h"
#include "lib/file/PhysicalFile.h"
#include "lib/lang/CaseFolding.h"
#include "lib/lang/Collation.h"
#include "lib/lang/Cp1252.h"
#include "lib/lang/LanguageStringList.h"
#include "lib/lang/LanguageTable.h"
#include "lib/lang/SortMap.h"
#include "lib/literal/Bcd.h"
#include "lib/literal/ConvertError.h"
#include "lib/literal/DateTimeValue.h"
#include "lib/literal/Literal.h"
