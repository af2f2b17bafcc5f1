// Sockets on Winsock 2. Every socket is kept non-blocking: the calls that
// must not wait (the *Within and Available ones) need no per-call flag, and
// the blocking ones wait in WSAPoll, which ShutdownBoth can cut short from
// another thread (a local shutdown alone does not end a wait on Windows).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/socket_native.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;

bool SetNonBlocking(NativeSocket s, bool on) {
  u_long mode = on ? 1 : 0;
  return ioctlsocket(s, FIONBIO, &mode) == 0;
}

// A new TCP socket over IPv4 that child processes do not inherit.
Socket NewTcpSocket() {
  return Socket(Handle(WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT)));
}

// How long a blocking send or receive waits at a time before it tries again:
// a socket shut down just before its wait began is noticed by then.
constexpr std::chrono::seconds kBlockingSlice(1);

// Waits for `events` on one socket until the time-out ends.
WaitResult PollFor(const Socket& socket, short events, std::chrono::milliseconds timeout) {
  if (!socket.IsValid()) return WaitResult::kFailed;
  const Clock::time_point deadline = Clock::now() + timeout;
  WSAPOLLFD p{Native(socket), events, 0};
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const INT ms = static_cast<INT>(std::clamp<std::int64_t>(left.count(), 0, 0x7fffffff));
    const int rc = WSAPoll(&p, 1, ms);
    if (rc > 0) return (p.revents & POLLNVAL) != 0 ? WaitResult::kFailed : WaitResult::kReady;
    if (rc == 0) return WaitResult::kTimedOut;
    if (WSAGetLastError() != WSAEINTR) return WaitResult::kFailed;
  }
}

bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }

int Clamped(std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, 0x7fffffff)); }

}  // namespace

SocketLibrary::SocketLibrary() {
  WSADATA data{};
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  if (started_ && (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2)) {
    WSACleanup();
    started_ = false;
  }
}

SocketLibrary::~SocketLibrary() {
  if (started_) WSACleanup();
}

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
    closesocket(Native(*this));
    handle_ = kNoSocket;
  }
}

Socket ListenTcp(std::string_view address, std::uint16_t port, int backlog, int* error) {
  int ignored = 0;
  int& failure = error != nullptr ? *error : ignored;
  failure = 0;
  sockaddr_in addr;
  if (!ToAddress(address, port, &addr)) {
    failure = WSAEADDRNOTAVAIL;
    return Socket();
  }
  Socket s = NewTcpSocket();
  if (!s.IsValid()) {
    failure = WSAGetLastError();
    return s;
  }
  // Exclusive: with SO_REUSEADDR Windows would let a second server take the
  // same port; without either, a port left in TIME_WAIT still binds here.
  BOOL on = TRUE;
  if (setsockopt(Native(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
      !SetNonBlocking(Native(s), true) ||
      bind(Native(s), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(Native(s), backlog) != 0) {
    failure = WSAGetLastError();
    return Socket();
  }
  return s;
}

std::string DescribeListenError(int error, std::uint16_t port, std::string_view address) {
  const std::string number = std::to_string(port);
  switch (error) {
    case WSAEADDRINUSE:
      return "port " + number + " is already in use";
    case WSAEACCES:
      return "permission denied for port " + number;
    case WSAEADDRNOTAVAIL:
      return "the address " + std::string(address) + " is not one of this computer's";
    default:
      return "port " + number + ": " + WindowsErrorText(static_cast<unsigned long>(error));
  }
}

WaitResult WaitReadable(const Socket& socket, std::chrono::milliseconds timeout) {
  return PollFor(socket, POLLRDNORM, timeout);
}

Socket AcceptTcp(const Socket& listener, AcceptError* error) {
  Socket accepted(Handle(accept(Native(listener), nullptr, nullptr)));
  const int cause = accepted.IsValid() ? 0 : WSAGetLastError();
  if (error != nullptr) {
    if (accepted.IsValid()) {
      *error = AcceptError::kNone;
    } else if (cause == WSAEWOULDBLOCK) {
      *error = AcceptError::kNothingWaiting;
    } else if (cause == WSAEMFILE || cause == WSAENOBUFS) {
      *error = AcceptError::kOutOfResources;
    } else {
      *error = AcceptError::kOther;
    }
  }
  if (accepted.IsValid()) {
    // Non-blocking like its listener, as every socket here is; kept from
    // child processes like every other socket.
    SetHandleInformation(reinterpret_cast<HANDLE>(accepted.Descriptor()), HANDLE_FLAG_INHERIT, 0);
    SetNoDelay(accepted);
  }
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
  // A blocking connect, then non-blocking like every other socket.
  if (connect(Native(s), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      !SetNonBlocking(Native(s), true)) {
    return Socket();
  }
  SetNoDelay(s);
  return s;
}

long SendSome(const Socket& socket, const char* data, std::size_t n) {
  for (;;) {
    const int sent = send(Native(socket), data, Clamped(n), 0);
    if (sent >= 0) return sent;
    if (!WouldBlock()) return -1;
    if (PollFor(socket, POLLWRNORM, kBlockingSlice) == WaitResult::kFailed) return -1;
  }
}

long SendSomeWithin(const Socket& socket, const char* data, std::size_t n, std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const int sent = send(Native(socket), data, Clamped(n), 0);
    if (sent >= 0) return sent;
    if (!WouldBlock()) return -1;
    // Full: wait for room; a peer that takes nothing in time gets 0.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    const WaitResult room = PollFor(socket, POLLWRNORM, left);
    if (room == WaitResult::kTimedOut) return 0;
    if (room == WaitResult::kFailed) return -1;
  }
}

long ReceiveSome(const Socket& socket, char* data, std::size_t n) {
  for (;;) {
    const int got = recv(Native(socket), data, Clamped(n), 0);
    if (got >= 0) return got;
    if (!WouldBlock()) return -1;
    if (PollFor(socket, POLLRDNORM, kBlockingSlice) == WaitResult::kFailed) return -1;
  }
}

long ReceiveSomeWithin(const Socket& socket, char* data, std::size_t n, std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const int got = recv(Native(socket), data, Clamped(n), 0);
    if (got >= 0) return got;
    if (!WouldBlock()) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    const WaitResult ready = PollFor(socket, POLLRDNORM, left);
    if (ready == WaitResult::kTimedOut) return 0;
    if (ready == WaitResult::kFailed) return -1;
  }
}

long ReceiveAvailable(const Socket& socket, char* data, std::size_t n) {
  const int got = recv(Native(socket), data, Clamped(n), 0);
  if (got < 0 && WouldBlock()) return kNothingYet;
  return got;
}

void ShutdownSend(const Socket& socket) {
  if (socket.IsValid()) shutdown(Native(socket), SD_SEND);
}

void ShutdownBoth(const Socket& socket) {
  if (!socket.IsValid()) return;
  shutdown(Native(socket), SD_BOTH);
  // A wait already running on the socket, through this handle or another,
  // does not see a local shutdown: cancelling the socket's pending
  // operations ends it (it fails), and any later receive finds the
  // socket shut.
  CancelIoEx(reinterpret_cast<HANDLE>(socket.Descriptor()), nullptr);
}

Socket DuplicateSocket(const Socket& socket) {
  if (!socket.IsValid()) return Socket();
  WSAPROTOCOL_INFOW info{};
  if (WSADuplicateSocketW(Native(socket), GetCurrentProcessId(), &info) != 0) return Socket();
  return Socket(Handle(WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0,
                                  WSA_FLAG_NO_HANDLE_INHERIT)));
}

}  // namespace tarvex
