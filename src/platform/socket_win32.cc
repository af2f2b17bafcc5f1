// Sockets on Winsock 2. Every socket is kept non-blocking: the calls that
// must not wait (the *Within and Available ones) need no per-call flag, and
// the blocking ones wait in WSAPoll, which ShutdownBoth can cut short from
// another thread (a local shutdown alone does not end a wait on Windows).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/socket_native.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;

bool SetNonBlocking(NativeSocket s, bool on) {
  u_long mode = on ? 1 : 0;
  return ioctlsocket(s, FIONBIO, &mode) == 0;
}

// How long a blocking send or receive waits at a time before it tries again:
// a socket shut down just before its wait began is noticed by then.
constexpr std::chrono::seconds kBlockingSlice(1);

int Clamped(std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, 0x7fffffff)); }

}  // namespace

int LastSocketError() { return WSAGetLastError(); }

bool IsWouldBlock(int error) { return error == WSAEWOULDBLOCK; }

bool IsOutOfResources(int error) { return error == WSAEMFILE || error == WSAENOBUFS; }

void CloseNative(NativeSocket socket) { closesocket(socket); }

Socket NewTcpSocket() {
  return Socket(Handle(WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT)));
}

bool PrepareListener(const Socket& socket) {
  // Exclusive: with SO_REUSEADDR Windows would let a second server take the
  // same port; without either, a port left in TIME_WAIT still binds here.
  BOOL on = TRUE;
  return setsockopt(Native(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                    sizeof on) == 0 &&
         SetNonBlocking(Native(socket), true);
}

Socket AcceptNative(const Socket& listener, int* error) {
  Socket accepted(Handle(accept(Native(listener), nullptr, nullptr)));
  *error = accepted.IsValid() ? 0 : WSAGetLastError();
  // Non-blocking like its listener, as every socket here is; kept from
  // child processes like every other socket.
  if (accepted.IsValid()) {
    SetHandleInformation(reinterpret_cast<HANDLE>(accepted.Descriptor()), HANDLE_FLAG_INHERIT, 0);
  }
  return accepted;
}

bool ConnectNative(const Socket& socket, const sockaddr_in& addr) {
  // A blocking connect, then non-blocking like every other socket.
  return connect(Native(socket), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
         SetNonBlocking(Native(socket), true);
}

WaitResult PollFor(const Socket& socket, Readiness readiness, std::chrono::milliseconds timeout) {
  if (!socket.IsValid()) return WaitResult::kFailed;
  const Clock::time_point deadline = Clock::now() + timeout;
  WSAPOLLFD p{Native(socket), static_cast<short>(readiness == Readiness::kReadable ? POLLRDNORM : POLLWRNORM), 0};
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const INT ms = static_cast<INT>(std::clamp<std::int64_t>(left.count(), 0, 0x7fffffff));
    const int rc = WSAPoll(&p, 1, ms);
    if (rc > 0) return (p.revents & POLLNVAL) != 0 ? WaitResult::kFailed : WaitResult::kReady;
    if (rc == 0) return WaitResult::kTimedOut;
    if (WSAGetLastError() != WSAEINTR) return WaitResult::kFailed;
  }
}

// Every socket is non-blocking: one call never waits.
long SendNow(const Socket& socket, const char* data, std::size_t n) {
  return send(Native(socket), data, Clamped(n), 0);
}

long ReceiveNow(const Socket& socket, char* data, std::size_t n) {
  return recv(Native(socket), data, Clamped(n), 0);
}

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

long SendSome(const Socket& socket, const char* data, std::size_t n) {
  for (;;) {
    const long sent = SendNow(socket, data, n);
    if (sent >= 0) return sent;
    if (!IsWouldBlock(WSAGetLastError())) return -1;
    if (PollFor(socket, Readiness::kWritable, kBlockingSlice) == WaitResult::kFailed) return -1;
  }
}

long ReceiveSome(const Socket& socket, char* data, std::size_t n) {
  for (;;) {
    const long got = ReceiveNow(socket, data, n);
    if (got >= 0) return got;
    if (!IsWouldBlock(WSAGetLastError())) return -1;
    if (PollFor(socket, Readiness::kReadable, kBlockingSlice) == WaitResult::kFailed) return -1;
  }
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
