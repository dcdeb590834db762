// Internal to lib/lang: the process-wide cache of ICU collators.
#pragma once

#include <unicode/coll.h>

#include "lib/lang/LanguageTable.h"

namespace ficha {

// The collator of (language, sort) with accents ignored and case
// distinguished unless `case_insensitive`. Built on first use and kept for the
// life of the process (ICU collators may be shared by threads for comparing).
// A language or sort that is not in the table collates by the ICU root
// locale. nullptr only when ICU cannot build a collator at all.
// REQUIRES: language != 0.
const icu::Collator* GetIcuCollator(LanguageId language, SortId sort, bool case_insensitive);

// ICU locale for case mapping of (language, sort): the language's locale
// without collation keywords, the root locale when unknown.
icu::Locale IcuCaseLocale(LanguageId language, SortId sort);

}  // namespace ficha
