// The parts of socket.h that read the same on both platforms' socket API,
// built on the calls of socket_native.h that each platform makes its own way.
#include <algorithm>
#include <iterator>
#include <string>

#include "platform/file_info.h"
#include "platform/socket_native.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;

// Repeats a call that never waits (SendNow, ReceiveNow) until it moves bytes,
// waiting in between for the socket to get ready until the deadline: the
// bytes moved, 0 when the socket was not ready in time, -1 on failure.
template <typename Call>
long MoveWithin(const Socket& socket, Readiness readiness, std::chrono::milliseconds timeout, Call call) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const long moved = call();
    if (moved >= 0) return moved;
    if (!IsWouldBlock(LastSocketError())) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    const WaitResult ready = PollFor(socket, readiness, left);
    if (ready == WaitResult::kTimedOut) return 0;
    if (ready == WaitResult::kFailed) return -1;
  }
}

}  // namespace

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
    CloseNative(Native(*this));
    handle_ = kNoSocket;
  }
}

Socket ListenTcp(std::string_view address, std::uint16_t port, int backlog, int* error) {
  int ignored = 0;
  int& failure = error != nullptr ? *error : ignored;
  failure = 0;
  sockaddr_in addr;
  if (!ToAddress(address, port, &addr)) {
    failure = kAddressNotAvailable;
    return Socket();
  }
  Socket s = NewTcpSocket();
  if (!s.IsValid()) {
    failure = LastSocketError();
    return s;
  }
  if (!PrepareListener(s) || bind(Native(s), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(Native(s), backlog) != 0) {
    failure = LastSocketError();
    return Socket();
  }
  return s;
}

std::string DescribeListenError(int error, std::uint16_t port, std::string_view address) {
  const std::string number = std::to_string(port);
  if (error == kAddressInUse) return "port " + number + " is already in use";
  if (error == kAccessDenied || error == kNotPermitted) return "permission denied for port " + number;
  if (error == kAddressNotAvailable) {
    return "the address " + std::string(address) + " is not one of this computer's";
  }
  return "port " + number + ": " + SystemErrorText(error);
}

WaitResult WaitReadable(const Socket& socket, std::chrono::milliseconds timeout) {
  return PollFor(socket, Readiness::kReadable, timeout);
}

Socket AcceptTcp(const Socket& listener, AcceptError* error) {
  int cause = 0;
  Socket accepted = AcceptNative(listener, &cause);
  if (error != nullptr) {
    if (accepted.IsValid()) {
      *error = AcceptError::kNone;
    } else if (IsWouldBlock(cause)) {
      *error = AcceptError::kNothingWaiting;
    } else if (IsOutOfResources(cause)) {
      *error = AcceptError::kOutOfResources;
    } else {
      *error = AcceptError::kOther;
    }
  }
  if (accepted.IsValid()) SetNoDelay(accepted);
  return accepted;
}

Socket ConnectTcp(std::string_view host, std::uint16_t port, std::string_view local_address) {
  sockaddr_in addr;
  if (!ToAddress(host, port, &addr)) return Socket();
  Socket s = NewTcpSocket();
  if (!s.IsValid()) return s;
  if (!local_address.empty()) {
    sockaddr_in local;
    if (!ToAddress(local_address, 0, &local) ||
        bind(Native(s), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      return Socket();
    }
  }
  if (!ConnectNative(s, addr)) return Socket();
  SetNoDelay(s);
  return s;
}

long SendSomeWithin(const Socket& socket, const char* data, std::size_t n, std::chrono::milliseconds timeout) {
  // Full: wait for room; a peer that takes nothing in time gets 0.
  return MoveWithin(socket, Readiness::kWritable, timeout, [&] { return SendNow(socket, data, n); });
}

long ReceiveSomeWithin(const Socket& socket, char* data, std::size_t n, std::chrono::milliseconds timeout) {
  return MoveWithin(socket, Readiness::kReadable, timeout, [&] { return ReceiveNow(socket, data, n); });
}

long ReceiveAvailable(const Socket& socket, char* data, std::size_t n) {
  const long got = ReceiveNow(socket, data, n);
  if (got < 0 && IsWouldBlock(LastSocketError())) return kNothingYet;
  return got;
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

void SetNoDelay(const Socket& socket) {
  int on = 1;
  setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

std::uint16_t LocalPort(const Socket& socket) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (!socket.IsValid() || getsockname(Native(socket), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

std::string PeerAddress(const Socket& socket) {
  sockaddr_storage peer{};
  socklen_t len = sizeof peer;
  if (!socket.IsValid() || getpeername(Native(socket), reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
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

}  // namespace tarvex
