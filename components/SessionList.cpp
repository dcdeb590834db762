#include "components/SessionList.h"

#include <algorithm>

#include "components/DatabaseErrors.h"
#include "components/FichaSession.h"
#include "components/NameCompare.h"

namespace ficha {

TSessionList::TSessionList() {
  // The constructor of the default session adds it to this list; it must
  // not go through Sessions(), which is still being initialised.
  default_owned_.reset(new TFichaSession(nullptr, *this, "Default"));
}

TSessionList::~TSessionList() {
  // The default session stops while the engine session and the lock exist.
  default_owned_.reset();
  engine_.reset();
}

void TSessionList::Add(TFichaSession* session) {
  std::lock_guard<std::mutex> lock(mutex_);
  sessions_.push_back(session);
  if (default_ == nullptr) default_ = session;
}

void TSessionList::Remove(TFichaSession* session) {
  std::lock_guard<std::mutex> lock(mutex_);
  sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), session), sessions_.end());
  if (default_ == session) default_ = nullptr;
}

TFichaSession* TSessionList::FindSession(std::string_view name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (name.empty()) return default_;
  for (TFichaSession* s : sessions_) {
    if (SameName(s->SessionName(), name)) return s;
  }
  return nullptr;
}

TFichaSession* TSessionList::OpenSession(std::string_view name) const {
  TFichaSession* s = FindSession(name);
  if (s == nullptr) RaiseDatabaseError(kInvalidSessionName, name);
  return s;
}

TFichaSession* TSessionList::DefaultSession() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return default_;
}

std::vector<TFichaSession*> TSessionList::List() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_;
}

size_t TSessionList::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_.size();
}

EngineSession& TSessionList::ProcessEngineSession() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!engine_) engine_ = CreateEngineSession();
  return *engine_;
}

bool TSessionList::RenameSession(TFichaSession* session, const std::string& name,
                                 bool check_unique) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (check_unique && !name.empty()) {
    for (TFichaSession* s : sessions_) {
      if (s != session && SameName(s->session_name_, name)) return false;
    }
  }
  session->session_name_ = name;
  return true;
}

int TSessionList::TakeAutoSessionNumber() {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = std::find(auto_numbers_.begin(), auto_numbers_.end(), false);
  int n = static_cast<int>(it - auto_numbers_.begin());
  if (it == auto_numbers_.end()) {
    auto_numbers_.push_back(true);
  } else {
    *it = true;
  }
  return n;
}

void TSessionList::ReleaseAutoSessionNumber(int number) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number >= 0 && number < static_cast<int>(auto_numbers_.size())) auto_numbers_[number] = false;
}

TSessionList& Sessions() {
  static TSessionList list;
  return list;
}

}  // namespace ficha
