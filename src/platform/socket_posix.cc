#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/socket.h"

namespace tarvex {
namespace {

void SetNoDelay(int fd) {
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Polls one descriptor for `events` until the time-out ends; a signal does
// not cut the wait short.
WaitResult PollFor(const Socket& socket, short events, std::chrono::milliseconds timeout) {
  if (!socket.IsValid()) return WaitResult::kFailed;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  pollfd p{socket.Descriptor(), events, 0};
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const int rc = ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    if (rc > 0) return WaitResult::kReady;
    if (rc == 0) return WaitResult::kTimedOut;
    if (errno != EINTR) return WaitResult::kFailed;
  }
}

bool ToAddress(std::string_view text, std::uint16_t port, sockaddr_in* out) {
  *out = sockaddr_in{};
  out->sin_family = AF_INET;
  out->sin_port = htons(port);
  std::string host(text);
  if (inet_pton(AF_INET, host.c_str(), &out->sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  out->sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

int Socket::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

void Socket::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
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
  setsockopt(s.Descriptor(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(s.Descriptor(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(s.Descriptor(), backlog) != 0) {
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

std::string PeerAddress(const Socket& socket) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (getpeername(socket.Descriptor(), reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      addr.sin_family != AF_INET) {
    return "";
  }
  char text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text) == nullptr) return "";
  return text;
}

std::uint16_t LocalPort(const Socket& socket) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (getsockname(socket.Descriptor(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

WaitResult WaitReadable(const Socket& socket, std::chrono::milliseconds timeout) {
  return PollFor(socket, POLLIN, timeout);
}

Socket AcceptTcp(const Socket& listener, bool* out_of_resources) {
  int fd;
  do {
    fd = ::accept4(listener.Descriptor(), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (out_of_resources != nullptr) {
    *out_of_resources =
        fd < 0 && (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM);
  }
  if (fd >= 0) SetNoDelay(fd);
  return Socket(fd);
}

Socket ConnectTcp(std::string_view host, std::uint16_t port) {
  sockaddr_in addr;
  if (!ToAddress(host, port, &addr)) return Socket();
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s.IsValid()) return s;
  int rc;
  do {
    rc = ::connect(s.Descriptor(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return Socket();
  SetNoDelay(s.Descriptor());
  return s;
}

long SendSome(const Socket& socket, const char* data, std::size_t n) {
  ssize_t sent;
  do {
    sent = ::send(socket.Descriptor(), data, n, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return static_cast<long>(sent);
}

long SendSomeWithin(const Socket& socket, const char* data, std::size_t n,
                    std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const ssize_t sent = ::send(socket.Descriptor(), data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
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
    got = ::recv(socket.Descriptor(), data, n, 0);
  } while (got < 0 && errno == EINTR);
  return static_cast<long>(got);
}

void ShutdownSend(const Socket& socket) {
  if (socket.IsValid()) ::shutdown(socket.Descriptor(), SHUT_WR);
}

void ShutdownBoth(const Socket& socket) {
  if (socket.IsValid()) ::shutdown(socket.Descriptor(), SHUT_RDWR);
}

Socket DuplicateSocket(const Socket& socket) {
  if (!socket.IsValid()) return Socket();
  return Socket(::fcntl(socket.Descriptor(), F_DUPFD_CLOEXEC, 0));
}

}  // namespace tarvex
