#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
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

std::uint16_t LocalPort(const Socket& socket) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (getsockname(socket.Descriptor(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

WaitResult WaitReadable(const Socket& socket, std::chrono::milliseconds timeout) {
  return PollFor(socket, POLLIN, timeout);
}

Socket AcceptTcp(const Socket& listener, AcceptError* error) {
  int fd;
  do {
    fd = ::accept4(listener.Descriptor(), nullptr, nullptr, SOCK_CLOEXEC);
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
  if (fd >= 0) SetNoDelay(fd);
  return Socket(fd);
}

Socket ConnectTcp(std::string_view host, std::uint16_t port, std::string_view local_address) {
  sockaddr_in addr;
  if (!ToAddress(host, port, &addr)) return Socket();
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s.IsValid()) return s;
  if (!local_address.empty()) {
    sockaddr_in local;
    if (!ToAddress(local_address, 0, &local) ||
        ::bind(s.Descriptor(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      return Socket();
    }
  }
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

long ReceiveSomeWithin(const Socket& socket, char* data, std::size_t n, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const ssize_t got = ::recv(socket.Descriptor(), data, n, MSG_DONTWAIT);
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
    got = ::recv(socket.Descriptor(), data, n, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kNothingYet;
  return static_cast<long>(got);
}

std::string PeerAddress(const Socket& socket) {
  sockaddr_storage peer{};
  socklen_t len = sizeof peer;
  if (!socket.IsValid() || getpeername(socket.Descriptor(), reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
    return "";
  }
  char text[INET6_ADDRSTRLEN] = {};
  if (peer.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&peer);
    if (inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text) == nullptr) return "";
    return text;
  }
  if (peer.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&peer);
    if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
      if (inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text, sizeof text) == nullptr) return "";
      return text;
    }
    if (inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text) == nullptr) return "";
    return text;
  }
  return "";
}

std::string SourceOfAddress(std::string_view address) {
  std::string text(address);
  in6_addr v6{};
  if (text.find(':') == std::string::npos || inet_pton(AF_INET6, text.c_str(), &v6) != 1) return text;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    char v4[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &v6.s6_addr[12], v4, sizeof v4) != nullptr) return v4;
  }
  // The interface half does not count: one /64 is one source.
  std::fill(std::begin(v6.s6_addr) + 8, std::end(v6.s6_addr), 0);
  char prefix[INET6_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET6, &v6, prefix, sizeof prefix) == nullptr) return text;
  return std::string(prefix) + "/64";
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
