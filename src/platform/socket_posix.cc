// The calls of socket_native.h on BSD sockets (Linux).
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/socket_native.h"

namespace tarvex {

int LastSocketError() { return errno; }

bool IsWouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

bool IsOutOfResources(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

void CloseNative(NativeSocket socket) { ::close(socket); }

Socket NewTcpSocket() { return Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); }

bool PrepareListener(const Socket& socket) {
  const int flags = ::fcntl(Native(socket), F_GETFL);
  if (flags < 0 || ::fcntl(Native(socket), F_SETFL, flags | O_NONBLOCK) != 0) return false;
  int on = 1;
  setsockopt(Native(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  return true;
}

Socket AcceptNative(const Socket& listener, int* error) {
  int fd;
  do {
    fd = ::accept4(Native(listener), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  *error = fd < 0 ? errno : 0;
  return Socket(fd);
}

bool ConnectNative(const Socket& socket, const sockaddr_in& addr) {
  int rc;
  do {
    rc = ::connect(Native(socket), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

WaitResult PollFor(const Socket& socket, Readiness readiness, std::chrono::milliseconds timeout) {
  if (!socket.IsValid()) return WaitResult::kFailed;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  pollfd p{Native(socket), static_cast<short>(readiness == Readiness::kReadable ? POLLIN : POLLOUT), 0};
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const int rc = ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    if (rc > 0) return WaitResult::kReady;
    if (rc == 0) return WaitResult::kTimedOut;
    if (errno != EINTR) return WaitResult::kFailed;
  }
}

long SendNow(const Socket& socket, const char* data, std::size_t n) {
  ssize_t sent;
  do {
    sent = ::send(Native(socket), data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  return static_cast<long>(sent);
}

long ReceiveNow(const Socket& socket, char* data, std::size_t n) {
  ssize_t got;
  do {
    got = ::recv(Native(socket), data, n, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  return static_cast<long>(got);
}

// Linux has no socket library to start.
SocketLibrary::SocketLibrary() : started_(true) {}
SocketLibrary::~SocketLibrary() = default;

long SendSome(const Socket& socket, const char* data, std::size_t n) {
  ssize_t sent;
  do {
    sent = ::send(Native(socket), data, n, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return static_cast<long>(sent);
}

long ReceiveSome(const Socket& socket, char* data, std::size_t n) {
  ssize_t got;
  do {
    got = ::recv(Native(socket), data, n, 0);
  } while (got < 0 && errno == EINTR);
  return static_cast<long>(got);
}

void ShutdownSend(const Socket& socket) {
  if (socket.IsValid()) ::shutdown(Native(socket), SHUT_WR);
}

void ShutdownBoth(const Socket& socket) {
  if (socket.IsValid()) ::shutdown(Native(socket), SHUT_RDWR);
}

Socket DuplicateSocket(const Socket& socket) {
  if (!socket.IsValid()) return Socket();
  return Socket(::fcntl(Native(socket), F_DUPFD_CLOEXEC, 0));
}

}  // namespace tarvex
