#include "engine/session/DataSession.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "engine/session/DataDirectory.h"
#include "engine/session/TableNames.h"

namespace ficha {

namespace {

std::string CurrentDirectory() {
  std::string buffer(4096, '\0');
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return std::string();
  buffer.resize(buffer.find('\0'));
  return buffer;
}

std::string TemporaryDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && *tmp != '\0') return tmp;
  return "/tmp";
}

std::string CutPath(std::string text) {
  if (text.size() > TDataSession::kMaxPathText) text.resize(TDataSession::kMaxPathText);
  return text;
}

}  // namespace

std::string TDataSession::NormalizeDirectory(std::string_view path) {
  std::string result(TrimName(path));
  if (!result.empty() && result.back() != '\\' && result.back() != '/') result.push_back('\\');
  return result;
}

TDataSession::TDataSession()
    : startup_directory_(CutPath(NormalizeDirectory(CurrentDirectory()))),
      private_directory_(CutPath(NormalizeDirectory(TemporaryDirectory()))) {}

TDataSession::~TDataSession() {
  // Last opened first, so that nothing refers to a database already gone.
  while (!directories_.empty()) directories_.pop_back();
}

TDataDirectory* TDataSession::OpenDirectory(std::string_view database_name, std::string_view path) {
  std::string directory = NormalizeDirectory(path);
  if (directory.empty() && !IsMemoryDatabaseName(database_name)) directory = startup_directory_;
  directory = CutPath(directory);
  for (auto& database : directories_) {
    if (SameDirectory(database->Directory(), directory)) {
      database->AddUse();
      return database.get();
    }
  }
  directories_.push_back(std::make_unique<TDataDirectory>(
      this, CutPath(std::string(TrimName(database_name))), directory));
  return directories_.back().get();
}

void TDataSession::CloseDirectory(TDataDirectory* database) {
  auto it = std::find_if(directories_.begin(), directories_.end(),
                         [database](const auto& d) { return d.get() == database; });
  if (it == directories_.end()) return;
  if ((*it)->ReleaseUse() > 0) return;
  // Move it out of the list first: destroying it may take a while (rollback,
  // closing files) and must not find itself still listed.
  std::unique_ptr<TDataDirectory> doomed = std::move(*it);
  directories_.erase(it);
  doomed.reset();
}

void TDataSession::AddPassword(std::string_view password) {
  if (password.empty() || HasPassword(password)) return;
  passwords_.push_back(CutPath(std::string(password)));
}

void TDataSession::RemovePassword(std::string_view password) {
  auto it = std::find(passwords_.begin(), passwords_.end(), password);
  if (it != passwords_.end()) passwords_.erase(it);
}

void TDataSession::RemoveAllPasswords() { passwords_.clear(); }

bool TDataSession::HasPassword(std::string_view password) const {
  return std::find(passwords_.begin(), passwords_.end(), password) != passwords_.end();
}

std::string TDataSession::PrivateDirectory() const {
  return private_directory_.empty() ? startup_directory_ : private_directory_;
}

void TDataSession::SetPrivateDirectory(std::string_view directory) {
  std::string value = CutPath(NormalizeDirectory(directory));
  if (value != private_directory_) private_directory_ = value;
}

void TDataSession::SetProgressSteps(uint16_t steps) {
  if (steps != progress_steps_) progress_steps_ = steps;
}

void TDataSession::SetForceBufferFlush(bool on) {
  if (on != force_buffer_flush_) force_buffer_flush_ = on;
}

void TDataSession::SetStrictChangeDetection(bool on) {
  if (on != strict_change_detection_) strict_change_detection_ = on;
}

void TDataSession::SetLockRetryCount(uint8_t count) {
  if (count != lock_retry_count_) lock_retry_count_ = count;
}

void TDataSession::SetLockWaitTime(uint16_t milliseconds) {
  if (milliseconds != lock_wait_time_) lock_wait_time_ = milliseconds;
}

void TDataSession::SetLockProtocol(TDataLockProtocol protocol) {
  if (protocol != lock_protocol_) lock_protocol_ = protocol;
}

}  // namespace ficha
