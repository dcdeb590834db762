// Minimal engine session and engine database (temporary, see EngineLink.h).
#include "components/EngineLink.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace ficha {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string WithBackslash(std::string s) {
  if (s.empty() || (s.back() != '\\' && s.back() != '/')) s += '\\';
  return s;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string CurrentDirectory() {
  char buf[PATH_MAX];
  if (getcwd(buf, sizeof buf) == nullptr) return "";
  return WithBackslash(buf);
}

class MinimalDatabase : public EngineDatabase {
 public:
  explicit MinimalDatabase(std::string directory) : directory_(std::move(directory)) {}

  std::string Directory() const override { return directory_; }
  bool InTransaction() const override { return in_transaction_; }
  void StartTransaction() override { in_transaction_ = true; }
  void Commit(bool /*force_flush*/) override { in_transaction_ = false; }
  void Rollback() override { in_transaction_ = false; }

  int uses = 1;

 private:
  std::string directory_;
  bool in_transaction_ = false;
};

class MinimalSession : public EngineSession {
 public:
  MinimalSession() : startup_dir_(CurrentDirectory()) {}

  void SetPrivateDirectory(const std::string& dir) override {
    private_dir_ = dir.empty() ? "" : WithBackslash(Trim(dir));
  }
  std::string PrivateDirectory() const override {
    return private_dir_.empty() ? startup_dir_ : private_dir_;
  }
  void SetStrictChangeDetection(bool on) override { strict_ = on; }
  void SetForceBufferFlush(bool on) override { force_flush_ = on; }
  void SetLockRetryCount(uint8_t count) override { retry_count_ = count; }
  void SetLockWaitTime(uint16_t ms) override { wait_time_ = ms; }
  void SetLockProtocol(EngineLockProtocol protocol) override { protocol_ = protocol; }
  void SetProgressSteps(uint16_t steps) override { progress_steps_ = steps; }
  void SetCacheLimits(const EngineCacheLimits& limits) override { cache_limits_ = limits; }
  void SetLocal() override { local_ = true; }

  bool StrictChangeDetection() const override { return strict_; }
  bool ForceBufferFlush() const override { return force_flush_; }
  uint8_t LockRetryCount() const override { return retry_count_; }
  uint16_t LockWaitTime() const override { return wait_time_; }
  EngineLockProtocol LockProtocol() const override { return protocol_; }
  uint16_t ProgressSteps() const override { return progress_steps_; }
  EngineCacheLimits CacheLimits() const override { return cache_limits_; }
  bool Local() const override { return local_; }

  EngineDatabase* OpenDirectory(const std::string& name, const std::string& directory) override {
    std::string dir = Trim(directory);
    if (SameIgnoringCase(Trim(name), "Memory")) {
      if (!dir.empty()) dir = WithBackslash(dir);
    } else {
      dir = dir.empty() ? startup_dir_ : WithBackslash(dir);
    }
    for (auto& db : databases_) {
      if (SameIgnoringCase(Trim(db->Directory()), dir)) {
        ++db->uses;
        return db.get();
      }
    }
    databases_.push_back(std::make_unique<MinimalDatabase>(dir));
    return databases_.back().get();
  }

  void CloseDirectory(EngineDatabase* database) override {
    auto it = std::find_if(databases_.begin(), databases_.end(),
                           [database](const auto& db) { return db.get() == database; });
    if (it == databases_.end()) return;
    if ((*it)->uses > 0) --(*it)->uses;
    if ((*it)->uses == 0) {
      if ((*it)->InTransaction()) (*it)->Rollback();
      databases_.erase(it);
    }
  }

  size_t DirectoryCount() const override { return databases_.size(); }

  void AddPassword(const std::string& password) override {
    if (password.empty() || HasPassword(password)) return;
    passwords_.push_back(password.substr(0, 255));
  }
  void RemovePassword(const std::string& password) override {
    auto it = std::find(passwords_.begin(), passwords_.end(), password);
    if (it != passwords_.end()) passwords_.erase(it);
  }
  void RemoveAllPasswords() override { passwords_.clear(); }
  bool HasPassword(const std::string& password) const override {
    return std::find(passwords_.begin(), passwords_.end(), password) != passwords_.end();
  }

 private:
  std::vector<std::unique_ptr<MinimalDatabase>> databases_;
  std::string startup_dir_;
  std::string private_dir_;
  uint16_t progress_steps_ = 20;
  std::vector<std::string> passwords_;
  bool force_flush_ = false;
  bool strict_ = false;
  uint8_t retry_count_ = 15;
  uint16_t wait_time_ = 100;
  EngineLockProtocol protocol_ = EngineLockProtocol::kPessimistic;
  bool local_ = false;
  EngineCacheLimits cache_limits_ = kDefaultEngineCacheLimits;
};

}  // namespace

std::unique_ptr<EngineSession> CreateEngineSession() { return std::make_unique<MinimalSession>(); }

}  // namespace ficha
