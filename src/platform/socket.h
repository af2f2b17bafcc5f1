// TCP sockets over IPv4: the only place that calls the socket API (BSD
// sockets on Linux, Winsock 2 on Windows). (Peer addresses are also read
// from IPv6 sockets, so that an address's source is the same whichever
// family a socket has.)
//
// Socket owns one socket handle and closes it on destruction. Waits use
// poll() (WSAPoll on Windows); a wait interrupted by a signal goes on for the
// rest of its time. No call ever raises SIGPIPE. Accepted and connected
// sockets have TCP_NODELAY set.
//
// On Windows every call needs the socket library started (SocketLibrary
// below) while it runs; on Linux there is nothing to start.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

// The system's handle of a socket, wide enough for either platform's: a
// descriptor on Linux, a SOCKET on Windows (whose INVALID_SOCKET, all bits
// set, is -1 here).
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// One start-up of the platform's socket library (WSAStartup asking for
// Winsock 2.2 on Windows; nothing on Linux, where it always succeeds), ended
// by the destructor when it succeeded. Start-ups nest: the library stays
// started while any SocketLibrary that started it lives.
class SocketLibrary {
 public:
  SocketLibrary();
  ~SocketLibrary();
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;

  bool IsStarted() const { return started_; }

 private:
  bool started_ = false;
};

class Socket {
 public:
  Socket() = default;
  explicit Socket(SocketHandle handle) : handle_(handle < 0 ? kNoSocket : handle) {}
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept : handle_(other.Release()) {}
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool IsValid() const { return handle_ != kNoSocket; }
  SocketHandle Descriptor() const { return handle_; }
  SocketHandle Release();
  void Close();

 private:
  SocketHandle handle_ = kNoSocket;
};

enum class WaitResult { kReady, kTimedOut, kFailed };

// Any local address, as a listener binds by default.
inline constexpr std::string_view kAnyAddress = "0.0.0.0";

// A listening TCP socket bound to address:port (IPv4 dotted quad; port 0
// picks an ephemeral port). Invalid on failure; *error (when given) then
// holds the system's error number, errno on Linux and WSAGetLastError() on
// Windows (0 on success; EADDRNOTAVAIL / WSAEADDRNOTAVAIL for an address
// that is not one of this computer's). A port another socket listens on is
// refused (EADDRINUSE), also on Windows, where the listener takes its port
// exclusively.
Socket ListenTcp(std::string_view address, std::uint16_t port, int backlog, int* error = nullptr);

// Why a listen on address:port failed, for a person: "port 9300 is already in
// use", "permission denied for port 80", or the port and the system's text.
std::string DescribeListenError(int error, std::uint16_t port, std::string_view address);

// The local port a socket is bound to, or 0.
std::uint16_t LocalPort(const Socket& socket);

// Waits until the socket is readable (or a listener has a pending
// connection, or the peer closed), for at most the time-out.
WaitResult WaitReadable(const Socket& socket, std::chrono::milliseconds timeout);
inline WaitResult WaitReadable(const Socket& socket, int seconds) {
  return WaitReadable(socket, std::chrono::seconds(seconds));
}

enum class AcceptError {
  kNone,
  kNothingWaiting,  // a non-blocking listener had no connection queued
  // Descriptors or memory ran out (EMFILE, ENFILE, ENOBUFS, ENOMEM): the
  // connection stays queued, and an accept made at once fails the same way.
  kOutOfResources,
  kOther,
};

// Accepts one pending connection; invalid on failure, and *error (when
// given) says why.
Socket AcceptTcp(const Socket& listener, AcceptError* error = nullptr);

// Connects to host:port; host is an IPv4 address or a name resolved to one.
// With a local address (IPv4 dotted quad) the socket is bound to it first,
// so that the peer sees that address; invalid when it cannot be bound.
Socket ConnectTcp(std::string_view host, std::uint16_t port, std::string_view local_address = {});

// The peer's address: a dotted IPv4 quad (also for an IPv4-mapped IPv6
// peer), or IPv6 text; "" on failure.
std::string PeerAddress(const Socket& socket);

// The source an address counts against when the server limits what one
// network peer may hold: an IPv4 address is its own source; an IPv6 address
// counts with its /64 network ("2001:db8:1:2::/64"). Text that is no address
// is its own source.
std::string SourceOfAddress(std::string_view address);

// One send call; returns the bytes sent, or -1 on failure.
long SendSome(const Socket& socket, const char* data, std::size_t n);

// Waits at most the time-out until the socket takes bytes, then sends what
// it takes without blocking. Returns the bytes sent (at least 1 when n > 0),
// 0 when it took none within the time-out, -1 on failure.
long SendSomeWithin(const Socket& socket, const char* data, std::size_t n,
                    std::chrono::milliseconds timeout);

// One receive call; returns the bytes read, 0 when the peer closed, -1 on
// failure.
long ReceiveSome(const Socket& socket, char* data, std::size_t n);

// Receives what has arrived, without a wait when bytes are already there
// (one system call on a busy link); otherwise waits at most the time-out for
// some. Returns the bytes read (at least 1), 0 when the peer closed or
// nothing came in time, -1 on failure.
long ReceiveSomeWithin(const Socket& socket, char* data, std::size_t n, std::chrono::milliseconds timeout);

// What ReceiveAvailable gives when no byte is waiting.
inline constexpr long kNothingYet = -2;
// One receive call that never waits: the bytes read, 0 when the peer closed,
// kNothingYet when no byte is waiting, -1 on failure.
long ReceiveAvailable(const Socket& socket, char* data, std::size_t n);

// Shuts down the sending side.
void ShutdownSend(const Socket& socket);

// Shuts down both directions: a receive or wait blocked on the socket (or on
// a duplicate of it), in any thread, returns at once.
void ShutdownBoth(const Socket& socket);

// A second handle for the same socket (invalid on failure).
Socket DuplicateSocket(const Socket& socket);

}  // namespace tarvex
