#include "lib/lang/IcuCollators.h"

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

namespace ficha {

namespace {

using CollatorKey = std::tuple<LanguageId, SortId, bool>;

struct CollatorCache {
  std::mutex mutex;
  // A null entry records that ICU failed, so it is not asked again.
  std::map<CollatorKey, std::unique_ptr<icu::Collator>> collators;
};

CollatorCache& Cache() {
  static CollatorCache* cache = new CollatorCache;  // never destroyed: used until exit
  return *cache;
}

std::unique_ptr<icu::Collator> BuildCollator(LanguageId language, SortId sort,
                                             bool case_insensitive) {
  std::string name = IcuLocaleName(language, sort);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(
      icu::Collator::createInstance(icu::Locale::createFromName(name.c_str()), status));
  if (U_FAILURE(status) || collator == nullptr) return nullptr;
  // Primary strength ignores accents and case; the case level brings case
  // back without bringing accents back.
  collator->setStrength(icu::Collator::PRIMARY);
  collator->setAttribute(UCOL_CASE_LEVEL, case_insensitive ? UCOL_OFF : UCOL_ON, status);
  collator->setAttribute(UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, status);
  if (U_FAILURE(status)) return nullptr;
  return collator;
}

}  // namespace

const icu::Collator* GetIcuCollator(LanguageId language, SortId sort, bool case_insensitive) {
  // The last collator this thread used; the common case is one table's
  // language over and over.
  thread_local CollatorKey last_key{};
  thread_local const icu::Collator* last = nullptr;
  CollatorKey key{language, sort, case_insensitive};
  if (last != nullptr && last_key == key) return last;

  CollatorCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  auto it = cache.collators.find(key);
  if (it == cache.collators.end()) {
    it = cache.collators.emplace(key, BuildCollator(language, sort, case_insensitive)).first;
  }
  const icu::Collator* collator = it->second.get();
  if (collator != nullptr) {
    last_key = key;
    last = collator;
  }
  return collator;
}

icu::Locale IcuCaseLocale(LanguageId language, SortId sort) {
  std::string name = IcuLocaleName(language, sort == kSortGermanPhoneBook ? kSortDefault : sort);
  if (name.empty()) name = IcuLocaleName(language, kSortDefault);
  size_t at = name.find('@');
  if (at != std::string::npos) name.resize(at);
  return icu::Locale::createFromName(name.empty() ? "root" : name.c_str());
}

}  // namespace ficha
