// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/path.h"
#include "platform/control_socket.h"
#include "platform/socket_native.h"

namespace tarvex {
namespace {

constexpr char kFolderName[] = "tarvex-server";
constexpr char kSocketName[] = "control";

// The folder exists (made here when missing), is a directory (not a link),
// belongs to this user and is private to them.
bool MakePrivateFolder(const std::string& folder, int* error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = errno;
    return false;
  }
  struct stat status {};
  if (::lstat(folder.c_str(), &status) != 0) {
    *error = errno;
    return false;
  }
  if (!S_ISDIR(status.st_mode) || status.st_uid != ::getuid()) {
    *error = EPERM;
    return false;
  }
  if ((status.st_mode & 0777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) {
    *error = errno;
    return false;
  }
  return true;
}

bool ToAddress(const std::string& path, sockaddr_un* out) {
  *out = sockaddr_un{};
  out->sun_family = AF_UNIX;
  if (path.size() >= sizeof out->sun_path) return false;
  std::memcpy(out->sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

std::string ControlSocketPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder;
  if (runtime != nullptr && *runtime != '\0') {
    folder = JoinPath(runtime, kFolderName);
  } else {
    folder = "/tmp/" + std::string(kFolderName) + "-" + std::to_string(::getuid());
  }
  return JoinPath(folder, kSocketName);
}

Socket ListenControlSocket(const std::string& path, int* error) {
  int ignored = 0;
  int& failure = error != nullptr ? *error : ignored;
  failure = 0;
  sockaddr_un address;
  if (!ToAddress(path, &address)) {
    failure = ENAMETOOLONG;
    return Socket();
  }
  if (!MakePrivateFolder(Dirname(path), &failure)) return Socket();
  Socket s(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!s.IsValid()) {
    failure = errno;
    return s;
  }
  ::unlink(path.c_str());
  if (::bind(Native(s), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(path.c_str(), 0600) != 0 || ::listen(Native(s), 8) != 0) {
    failure = errno;
    return Socket();
  }
  return s;
}

Socket AcceptControlClient(const Socket& listener, const std::string& /*path*/) {
  int fd;
  do {
    fd = ::accept4(Native(listener), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return Socket(fd);
}

Socket ConnectControlSocket(const std::string& path) {
  sockaddr_un address;
  if (!ToAddress(path, &address)) return Socket();
  Socket s(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s.IsValid()) return s;
  int rc;
  do {
    rc = ::connect(Native(s), reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return Socket();
  return s;
}

void RemoveControlSocket(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace tarvex
