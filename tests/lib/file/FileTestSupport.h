// Shared fixture pieces of the file-layer tests: a scratch directory and a
// second process to hold files and locks.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "common/EngineError.h"

namespace ficha {

// Engine code raised by f, 0 when it raises nothing.
inline int CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EFichaEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

// A fresh directory per test, removed afterwards.
class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/ficha_file_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  // The path of name in the directory, written with "\" separators as the
  // engine does.
  std::string Path(const std::string& name) const {
    std::string p = dir_ + "/" + name;
    for (char& c : p) {
      if (c == '/') c = '\\';
    }
    return p;
  }
  std::string OsPath(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
};

// A second process running body. The two sides talk through one byte at a
// time: Tell sends it, Await blocks for the other side's byte. body's result
// is the child's exit status; anything thrown ends it with 99.
class ChildProcess {
 public:
  explicit ChildProcess(const std::function<int(ChildProcess&)>& body) {
    if (pipe(to_child_) != 0 || pipe(from_child_) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      child_ = true;
      close(to_child_[1]);
      close(from_child_[0]);
      int rc = 99;
      try {
        rc = body(*this);
      } catch (...) {
      }
      _exit(rc);
    }
    close(to_child_[0]);
    close(from_child_[1]);
  }
  ~ChildProcess() {
    if (pid_ > 0 && !child_ && !finished_) Finish();
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void Tell(char c = 'x') {
    int fd = child_ ? from_child_[1] : to_child_[1];
    if (write(fd, &c, 1) != 1) {
      if (child_) _exit(98);
    }
  }
  // The byte sent, or 0 when the other side has gone.
  char Await() {
    int fd = child_ ? to_child_[0] : from_child_[0];
    char c = 0;
    if (read(fd, &c, 1) != 1) return 0;
    return c;
  }
  // Lets the child run to its end and returns its exit status.
  int Finish() {
    finished_ = true;
    close(to_child_[1]);
    int status = 0;
    waitpid(pid_, &status, 0);
    close(from_child_[0]);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool child_ = false;
  bool finished_ = false;
  int to_child_[2] = {-1, -1};
  int from_child_[2] = {-1, -1};
};

}  // namespace ficha
