#include <windows.h>

#include "platform/instance_lock.h"
#include "platform/wide_text_win32.h"

namespace tarvex {

std::optional<InstanceLock> InstanceLock::Acquire(std::string_view name) {
  if (name.empty() || name.find_first_of("/\\") != std::string_view::npos) return std::nullopt;
  // The mutex is never owned: that it exists is the lock. The handle is not
  // inherited, so a child process cannot keep it alive after the server ends.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, ToWide(name).c_str());
  if (mutex == nullptr) return std::nullopt;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return std::nullopt;
  }
  return InstanceLock(reinterpret_cast<std::intptr_t>(mutex));
}

InstanceLock::~InstanceLock() {
  if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace tarvex
