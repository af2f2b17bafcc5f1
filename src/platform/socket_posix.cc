#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/socket_native.h"

namespace tarvex {
namespace {

// Polls one descriptor for `events` until the time-out ends; a signal does
// not cut the wait short.
WaitResult PollFor(const Socket& socket, short events, std::chrono::milliseconds timeout) {
  if (!socket.IsValid()) return WaitResult::kFailed;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  pollfd p{Native(socket), events, 0};
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const int rc = ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    if (rc > 0) return WaitResult::kReady;
    if (rc == 0) return WaitResult::kTimedOut;
    if (errno != EINTR) return WaitResult::kFailed;
  }
}

}  // namespace

// Linux has no socket library to start.
SocketLibrary::SocketLibrary() : started_(true) {}
SocketLibrary::~SocketLibrary() = default;

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.Release();
  }
  return *this;
}

SocketHandle Socket::Release() {
  const SocketHandle handle = handle_;
  handle_ = kNoSocket;
  return handle;
}

void Socket::Close() {
  if (IsValid()) {
    ::close(Native(*this));
    handle_ = kNoSocket;
  }
}

Socket ListenTcp(std::string_view address, std::uint16_t port, int backlog, int* error) {
  int ignored = 0;
  int& failure = error != nullptr ? *error : ignored;
  failure = 0;
  sockaddr_in addr;
  if (!ToAddress(address, port, &addr)) {
    failure = EADDRNOTAVAIL;
    return Socket();
  }
  // Non-blocking, so that an accept after a connection vanished fails at once
  // instead of blocking the accept loop.
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!s.IsValid()) {
    failure = errno;
    return s;
  }
  int on = 1;
  setsockopt(Native(s), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(Native(s), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(Native(s), backlog) != 0) {
    failure = errno;
    return Socket();
  }
  return s;
}

std::string DescribeListenError(int error, std::uint16_t port, std::string_view address) {
  const std::string number = std::to_string(port);
  switch (error) {
    case EADDRINUSE:
      return "port " + number + " is already in use";
    case EACCES:
    case EPERM:
      return "permission denied for port " + number;
    case EADDRNOTAVAIL:
      return "the address " + std::string(address) + " is not one of this computer's";
    default:
      return "port " + number + ": " + std::strerror(error);
  }
}

WaitResult WaitReadable(const Socket& socket, std::chrono::milliseconds timeout) {
  return PollFor(socket, POLLIN, timeout);
}

Socket AcceptTcp(const Socket& listener, AcceptError* error) {
  int fd;
  do {
    fd = ::accept4(Native(listener), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (error != nullptr) {
    if (fd >= 0) {
      *error = AcceptError::kNone;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      *error = AcceptError::kNothingWaiting;
    } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      *error = AcceptError::kOutOfResources;
    } else {
      *error = AcceptError::kOther;
    }
  }
  Socket accepted(fd);
  if (accepted.IsValid()) SetNoDelay(accepted);
  return accepted;
}

Socket ConnectTcp(std::string_view host, std::uint16_t port, std::string_view local_address) {
  sockaddr_in addr;
  if (!ToAddress(host, port, &addr)) return Socket();
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s.IsValid()) return s;
  if (!local_address.empty()) {
    sockaddr_in local;
    if (!ToAddress(local_address, 0, &local) ||
        ::bind(Native(s), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      return Socket();
    }
  }
  int rc;
  do {
    rc = ::connect(Native(s), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return Socket();
  SetNoDelay(s);
  return s;
}

long SendSome(const Socket& socket, const char* data, std::size_t n) {
  ssize_t sent;
  do {
    sent = ::send(Native(socket), data, n, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return static_cast<long>(sent);
}

long SendSomeWithin(const Socket& socket, const char* data, std::size_t n,
                    std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const ssize_t sent = ::send(Native(socket), data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    // Full: wait for room; a peer that takes nothing in time gets 0.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    const WaitResult room = PollFor(socket, POLLOUT, left);
    if (room == WaitResult::kTimedOut) return 0;
    if (room == WaitResult::kFailed) return -1;
  }
}

long ReceiveSome(const Socket& socket, char* data, std::size_t n) {
  ssize_t got;
  do {
    got = ::recv(Native(socket), data, n, 0);
  } while (got < 0 && errno == EINTR);
  return static_cast<long>(got);
}

long ReceiveSomeWithin(const Socket& socket, char* data, std::size_t n, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const ssize_t got = ::recv(Native(socket), data, n, MSG_DONTWAIT);
    if (got >= 0) return static_cast<long>(got);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    const WaitResult ready = PollFor(socket, POLLIN, left);
    if (ready == WaitResult::kTimedOut) return 0;
    if (ready == WaitResult::kFailed) return -1;
  }
}

long ReceiveAvailable(const Socket& socket, char* data, std::size_t n) {
  ssize_t got;
  do {
    got = ::recv(Native(socket), data, n, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kNothingYet;
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
