// InstanceLock: one running server per user. An exclusive, non-blocking
// flock() on $XDG_RUNTIME_DIR/VLDTSERVER.lock (or /tmp/VLDTSERVER-<uid>.lock
// where XDG_RUNTIME_DIR is unset), held for the life of the object. The
// desktop program and the headless server take the same lock.
#pragma once

#include <optional>
#include <string>

namespace tarvex {

class InstanceLock {
 public:
  // The lock, or none when another process holds it (or it cannot be made).
  static std::optional<InstanceLock> Acquire();

  ~InstanceLock();
  InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  InstanceLock& operator=(InstanceLock&&) = delete;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  static std::string LockPath();

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace tarvex
