// InstanceLock: one running server per user, held for the life of the
// object. On Windows it is the named mutex "VLDTSERVER" of the user's session
// (another copy holds it when it exists already). On Linux it is an
// exclusive, non-blocking flock() on $XDG_RUNTIME_DIR/VLDTSERVER.lock (or
// /tmp/VLDTSERVER-<uid>.lock where XDG_RUNTIME_DIR is unset). The desktop
// program and the headless server take the same lock. Other programs that
// must run once per user take a lock of their own name the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarvex {

class InstanceLock {
 public:
  // The lock, or none when another process holds it (or it cannot be made).
  static std::optional<InstanceLock> Acquire() { return Acquire(kServerLockName); }
  // The lock of another name (a name without "/" or "\").
  static std::optional<InstanceLock> Acquire(std::string_view name);

  ~InstanceLock();
  InstanceLock(InstanceLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
  InstanceLock& operator=(InstanceLock&&) = delete;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  static constexpr std::string_view kServerLockName = "VLDTSERVER";

 private:
  static constexpr std::intptr_t kNone = -1;
  explicit InstanceLock(std::intptr_t handle) : handle_(handle) {}
  // The descriptor of the lock file on Linux, the mutex's HANDLE on Windows.
  std::intptr_t handle_;
};

}  // namespace tarvex
