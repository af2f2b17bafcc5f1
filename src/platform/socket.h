// TCP sockets over IPv4: the only place that calls the BSD socket API.
//
// Socket owns one descriptor and closes it on destruction. Waits for
// readability use poll() with a time-out in whole seconds. No call ever
// raises SIGPIPE. Accepted and connected sockets have TCP_NODELAY set.
#pragma once

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
// picks an ephemeral port). Invalid on failure.
Socket ListenTcp(std::string_view address, std::uint16_t port, int backlog);

// The local port a socket is bound to, or 0.
std::uint16_t LocalPort(const Socket& socket);

// Waits until the socket is readable (or a listener has a pending
// connection), for at most `seconds` whole seconds.
WaitResult WaitReadable(const Socket& socket, int seconds);

// Accepts one pending connection; invalid on failure.
Socket AcceptTcp(const Socket& listener);

// Connects to host:port; host is an IPv4 address or a name resolved to one.
Socket ConnectTcp(std::string_view host, std::uint16_t port);

// One send call; returns the bytes sent, or -1 on failure.
long SendSome(const Socket& socket, const char* data, std::size_t n);

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

// Seconds of a monotonic clock, for whole-second time-out budgets.
std::int64_t MonotonicSeconds();

}  // namespace tarvex
