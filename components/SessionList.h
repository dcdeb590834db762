// TSessionList: the process-wide registry of session components.
//
// Created on first use by Sessions(), together with the default session, a
// TFichaSession without owner named "Default"; both live until process end.
// The list also owns the process-wide engine session that the default
// session uses (created on first use), the bit set of auto-session numbers
// and the session lock. Thread-safe.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "components/EngineLink.h"

namespace ficha {

class TFichaSession;

class TSessionList {
 public:
  TSessionList();
  ~TSessionList();

  TSessionList(const TSessionList&) = delete;
  TSessionList& operator=(const TSessionList&) = delete;

  // The session of that name, ignoring case; the default session for an
  // empty name; null when none matches.
  TFichaSession* FindSession(std::string_view name) const;
  // As FindSession, but no match raises "Session name %s is not valid.".
  TFichaSession* OpenSession(std::string_view name) const;
  TFichaSession* DefaultSession() const;

  // A copy of the list in creation order.
  std::vector<TFichaSession*> List() const;
  size_t Count() const;

  // The engine session of the default session, created on first use.
  EngineSession& ProcessEngineSession();

  // The session lock: one recursive mutex for all sessions, held while a
  // session starts or stops, while a database connects and around settings
  // and passwords passed to an active engine session.
  std::recursive_mutex& SessionLock() { return session_lock_; }

 private:
  friend class TFichaSession;

  // Called by the session constructor and destructor. The first session
  // added becomes the default session.
  void Add(TFichaSession* session);
  void Remove(TFichaSession* session);

  // Gives `session` the name under the list's mutex, so that lookups and
  // renames from other threads never see it half-written. False (and no
  // change) when `check_unique` and another session has the name.
  bool RenameSession(TFichaSession* session, const std::string& name, bool check_unique);

  // Lowest free auto-session number (from 0), marked used.
  int TakeAutoSessionNumber();
  void ReleaseAutoSessionNumber(int number);

  mutable std::mutex mutex_;
  std::vector<TFichaSession*> sessions_;
  TFichaSession* default_ = nullptr;
  std::vector<bool> auto_numbers_;
  std::recursive_mutex session_lock_;
  std::unique_ptr<EngineSession> engine_;
  std::unique_ptr<TFichaSession> default_owned_;
};

// The process's session list (with its default session).
TSessionList& Sessions();

}  // namespace ficha
