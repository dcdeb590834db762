#include "components/EngineLinkData.h"

#include <algorithm>
#include <vector>

#include "engine/session/DataDirectory.h"
#include "engine/session/DataSession.h"

namespace ficha {
namespace {

class DataDatabaseLink : public EngineDataDatabase {
 public:
  explicit DataDatabaseLink(TDataDirectory* directory) : directory_(directory) {}

  std::string Directory() const override { return directory_->Directory(); }
  bool InTransaction() const override { return directory_->InTransaction(); }
  void StartTransaction() override { directory_->StartTransaction(); }
  void Commit(bool force_flush) override { directory_->Commit(true, force_flush); }
  void Rollback() override { directory_->Rollback(); }
  TDataDirectory* DataDirectory() const override { return directory_; }

 private:
  TDataDirectory* directory_;
};

class DataSessionLink : public EngineSession {
 public:
  void SetPrivateDirectory(const std::string& dir) override { session_.SetPrivateDirectory(dir); }
  std::string PrivateDirectory() const override { return session_.PrivateDirectory(); }
  void SetStrictChangeDetection(bool on) override { session_.SetStrictChangeDetection(on); }
  void SetForceBufferFlush(bool on) override { session_.SetForceBufferFlush(on); }
  void SetLockRetryCount(uint8_t count) override { session_.SetLockRetryCount(count); }
  void SetLockWaitTime(uint16_t ms) override { session_.SetLockWaitTime(ms); }
  void SetLockProtocol(EngineLockProtocol protocol) override {
    session_.SetLockProtocol(protocol == EngineLockProtocol::kOptimistic
                                 ? TDataLockProtocol::kOptimistic
                                 : TDataLockProtocol::kPessimistic);
  }
  void SetProgressSteps(uint16_t steps) override { session_.SetProgressSteps(steps); }
  void SetCacheLimits(const EngineCacheLimits& limits) override {
    TCacheLimits engine;
    engine.data_bytes = limits[0];
    engine.data_count = limits[1];
    engine.index_bytes = limits[2];
    engine.blob_bytes = limits[3];
    engine.blob_count = limits[4];
    session_.SetCacheLimits(engine);
  }
  void SetLocal() override {
    session_.SetLocal();
    local_ = true;
  }

  bool StrictChangeDetection() const override { return session_.StrictChangeDetection(); }
  bool ForceBufferFlush() const override { return session_.ForceBufferFlush(); }
  uint8_t LockRetryCount() const override { return session_.LockRetryCount(); }
  uint16_t LockWaitTime() const override { return session_.LockWaitTime(); }
  EngineLockProtocol LockProtocol() const override {
    return session_.LockProtocol() == TDataLockProtocol::kOptimistic
               ? EngineLockProtocol::kOptimistic
               : EngineLockProtocol::kPessimistic;
  }
  uint16_t ProgressSteps() const override { return session_.ProgressSteps(); }
  EngineCacheLimits CacheLimits() const override {
    const TCacheLimits& limits = session_.CacheLimits();
    return {limits.data_bytes, limits.data_count, limits.index_bytes, limits.blob_bytes,
            limits.blob_count};
  }
  bool Local() const override { return local_; }

  EngineDatabase* OpenDirectory(const std::string& name, const std::string& directory) override {
    TDataDirectory* opened = session_.OpenDirectory(name, directory);
    for (auto& link : links_) {
      if (link->DataDirectory() == opened) return link.get();
    }
    links_.push_back(std::make_unique<DataDatabaseLink>(opened));
    return links_.back().get();
  }

  void CloseDirectory(EngineDatabase* database) override {
    auto it = std::find_if(links_.begin(), links_.end(),
                           [database](const auto& link) { return link.get() == database; });
    if (it == links_.end()) return;
    TDataDirectory* directory = (*it)->DataDirectory();
    session_.CloseDirectory(directory);
    const auto& open = session_.Directories();
    bool still_open = std::any_of(open.begin(), open.end(),
                                  [directory](const auto& d) { return d.get() == directory; });
    if (!still_open) links_.erase(it);
  }

  size_t DirectoryCount() const override { return session_.Directories().size(); }

  void AddPassword(const std::string& password) override { session_.AddPassword(password); }
  void RemovePassword(const std::string& password) override { session_.RemovePassword(password); }
  void RemoveAllPasswords() override { session_.RemoveAllPasswords(); }
  bool HasPassword(const std::string& password) const override {
    return session_.HasPassword(password);
  }

 private:
  // Declared before the links, which point into it: destroyed after them.
  TDataSession session_;
  std::vector<std::unique_ptr<DataDatabaseLink>> links_;
  bool local_ = false;
};

}  // namespace

std::unique_ptr<EngineSession> CreateDataEngineSession() {
  return std::make_unique<DataSessionLink>();
}

TDataDirectory* DataDirectoryOf(EngineDatabase* database) {
  auto* data = dynamic_cast<EngineDataDatabase*>(database);
  return data != nullptr ? data->DataDirectory() : nullptr;
}

}  // namespace ficha
