// TCP sockets over IPv4: the only place that calls the BSD socket API.
//
// Socket owns one descriptor and closes it on destruction. Waits use poll();
// a wait interrupted by a signal goes on for the rest of its time. No call
// ever raises SIGPIPE. Accepted and connected sockets have TCP_NODELAY set.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept : fd_(other.Release()) {}
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool IsValid() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  int Release();
  void Close();

 private:
  int fd_ = -1;
};

enum class WaitResult { kReady, kTimedOut, kFailed };

// Any local address, as a listener binds by default.
inline constexpr std::string_view kAnyAddress = "0.0.0.0";

// A listening TCP socket bound to address:port (IPv4 dotted quad; port 0
// picks an ephemeral port). Invalid on failure; *error (when given) then
// holds the system's error number (0 on success; EADDRNOTAVAIL for an
// address that is not one of this computer's).
Socket ListenTcp(std::string_view address, std::uint16_t port, int backlog, int* error = nullptr);

// Why a listen on address:port failed, for a person: "port 9300 is already in
// use", "permission denied for port 80", or the port and the system's text.
std::string DescribeListenError(int error, std::uint16_t port, std::string_view address);

// The peer's IPv4 address in dotted form, or "" when it cannot be had.
std::string PeerAddress(const Socket& socket);

// The local port a socket is bound to, or 0.
std::uint16_t LocalPort(const Socket& socket);

// Waits until the socket is readable (or a listener has a pending
// connection, or the peer closed), for at most the time-out.
WaitResult WaitReadable(const Socket& socket, std::chrono::milliseconds timeout);
inline WaitResult WaitReadable(const Socket& socket, int seconds) {
  return WaitReadable(socket, std::chrono::seconds(seconds));
}

// Accepts one pending connection; invalid on failure. *out_of_resources
// (when given) tells whether it failed for want of descriptors or memory
// (EMFILE, ENFILE, ENOBUFS, ENOMEM): the connection then stays queued, and
// an accept made at once fails the same way.
Socket AcceptTcp(const Socket& listener, bool* out_of_resources = nullptr);

// Connects to host:port; host is an IPv4 address or a name resolved to one.
Socket ConnectTcp(std::string_view host, std::uint16_t port);

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

// Shuts down the sending side.
void ShutdownSend(const Socket& socket);

// Shuts down both directions: a receive blocked on the socket, in any
// thread, returns at once.
void ShutdownBoth(const Socket& socket);

// A second descriptor for the same socket (invalid on failure).
Socket DuplicateSocket(const Socket& socket);

}  // namespace tarvex
