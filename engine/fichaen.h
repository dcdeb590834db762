// Front door of the storage engine: data, index and blob files, sessions,
// databases and shared tables.
#pragma once

#include "lib/fichalb.h"

// Data files: field types, definitions, table header, record layout, cache.
#include "engine/data/BcdField.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldConversion.h"
#include "engine/data/FieldDef.h"
#include "engine/data/FieldDefCheck.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/PlainTableOwner.h"
#include "engine/data/Record.h"
#include "engine/data/RecordCache.h"
#include "engine/data/RecordLayout.h"
#include "engine/data/RecordStack.h"
#include "engine/data/RowIdentifier.h"
#include "engine/data/Scramble.h"
#include "engine/data/TableFileSet.h"
#include "engine/data/TableHeader.h"
#include "engine/data/TableOwner.h"

// Index files: keys, header, B-tree pages, text index settings, checks.
#include "engine/index/IndexChecker.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexHeader.h"
#include "engine/index/IndexKey.h"
#include "engine/index/KeyEncoding.h"
#include "engine/index/Page.h"
#include "engine/index/SortRecords.h"
#include "engine/index/TextIndexSettings.h"

// Blob files: header, blocks, block cache, blob buffers.
#include "engine/blob/BlobBuffer.h"
#include "engine/blob/BlobFile.h"
#include "engine/blob/BlobFileHeader.h"
#include "engine/blob/BlobReference.h"
#include "engine/blob/Block.h"
#include "engine/blob/BlockHeader.h"
#include "engine/blob/BlockStack.h"

// Sessions, databases, shared tables, cursors and transactions.
#include "engine/session/CursorBlobs.h"
#include "engine/session/DataCursor.h"
#include "engine/session/DataDirectory.h"
#include "engine/session/DataSession.h"
#include "engine/session/DataTable.h"
#include "engine/session/TableNames.h"
