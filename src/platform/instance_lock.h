// InstanceLock: one running server per user. An exclusive, non-blocking
// flock() on $XDG_RUNTIME_DIR/VLDTSERVER.lock (or /tmp/VLDTSERVER-<uid>.lock
// where XDG_RUNTIME_DIR is unset), held for the life of the object. The
// desktop program and the headless server take the same lock. Other
// programs that must run once per user take a lock of their own name the
// same way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

class InstanceLock {
 public:
  // The lock, or none when another process holds it (or it cannot be made).
  static std::optional<InstanceLock> Acquire() { return Acquire(kServerLockName); }
  // The lock of another name (a file name without "/").
  static std::optional<InstanceLock> Acquire(std::string_view name);

  ~InstanceLock();
  InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  InstanceLock& operator=(InstanceLock&&) = delete;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  static constexpr std::string_view kServerLockName = "VLDTSERVER";
  static std::string LockPath(std::string_view name = kServerLockName);

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace tarvex
