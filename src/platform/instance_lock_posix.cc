#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/path.h"
#include "platform/instance_lock.h"

namespace tarvex {
namespace {

std::string LockPath(std::string_view name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return JoinPath(runtime, std::string(name) + ".lock");
  return "/tmp/" + std::string(name) + "-" + std::to_string(getuid()) + ".lock";
}

}  // namespace

std::optional<InstanceLock> InstanceLock::Acquire(std::string_view name) {
  if (name.empty() || name.find_first_of("/\\") != std::string_view::npos) return std::nullopt;
  const int fd = ::open(LockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return std::nullopt;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return InstanceLock(fd);
}

InstanceLock::~InstanceLock() {
  if (handle_ != kNone) ::close(static_cast<int>(handle_));
}

}  // namespace tarvex
