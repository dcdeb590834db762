// Another program for the locking tests: a forked child process with two
// pipes to talk to its parent step by step.
//
// A child must be forked while this process has no table file open: the
// child would otherwise share the parent's open file descriptions, and
// byte-range locks on a shared description do not conflict. The child opens
// its own session on the same directory.
//
// The child's body returns 0 for success or a small number saying which of
// its checks failed; an exception that escapes it gives 100 + its engine
// code modulo 100 (an engine error) or 99. The child never returns into the
// test framework: it ends with _exit.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <exception>
#include <functional>

#include "common/Fichacn.h"
#include "lib/file/FileList.h"

namespace ficha::testing {

// One end of the two pipes.
class Channel {
 public:
  Channel(int read_fd, int write_fd) : read_fd_(read_fd), write_fd_(write_fd) {}

  void Send(char c) { Write(&c, 1); }
  void SendInt(int32_t value) { Write(&value, sizeof value); }
  // The next character, or 0 when none comes within timeout_ms (or the
  // other side is gone).
  char Receive(int timeout_ms = kDefaultTimeoutMs) {
    char c = 0;
    return Read(&c, 1, timeout_ms) ? c : 0;
  }
  bool Expect(char c, int timeout_ms = kDefaultTimeoutMs) { return Receive(timeout_ms) == c; }
  // -1 when nothing comes.
  int32_t ReceiveInt(int timeout_ms = kDefaultTimeoutMs) {
    int32_t value = -1;
    return Read(&value, sizeof value, timeout_ms) ? value : -1;
  }

  static constexpr int kDefaultTimeoutMs = 30000;

 private:
  void Write(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = write(write_fd_, p, size);
      if (n <= 0) return;
      p += n;
      size -= static_cast<size_t>(n);
    }
  }
  bool Read(void* data, size_t size, int timeout_ms) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
      pollfd fd{read_fd_, POLLIN, 0};
      if (poll(&fd, 1, timeout_ms) <= 0) return false;
      ssize_t n = read(read_fd_, p, size);
      if (n <= 0) return false;
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  int read_fd_;
  int write_fd_;
};

class ChildProcess {
 public:
  using Body = std::function<int(Channel& parent)>;

  // Forks and runs body in the child. Started() is false when this process
  // still has files open or the fork failed.
  explicit ChildProcess(const Body& body) {
    if (FileList().Count() != 0) return;
    int to_child[2];
    int to_parent[2];
    if (pipe(to_child) != 0) return;
    if (pipe(to_parent) != 0) {
      close(to_child[0]);
      close(to_child[1]);
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      close(to_child[1]);
      close(to_parent[0]);
      Channel channel(to_child[0], to_parent[1]);
      int code = 99;
      try {
        code = body(channel);
      } catch (const EFichaEngineError& e) {
        code = 100 + e.ErrorCode() % 100;
      } catch (...) {
        code = 99;
      }
      _exit(code);
    }
    close(to_child[0]);
    close(to_parent[1]);
    if (pid_ < 0) {
      close(to_child[1]);
      close(to_parent[0]);
      return;
    }
    channel_ = Channel(to_parent[0], to_child[1]);
    fds_[0] = to_parent[0];
    fds_[1] = to_child[1];
  }

  ~ChildProcess() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : fds_) {
      if (fd >= 0) close(fd);
    }
  }

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  Channel& channel() { return channel_; }

  // The child's exit code; -1 when it did not end normally.
  int Wait() {
    if (pid_ <= 0 || waited_) return -1;
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool waited_ = false;
  Channel channel_{-1, -1};
  int fds_[2] = {-1, -1};
};

}  // namespace ficha::testing
