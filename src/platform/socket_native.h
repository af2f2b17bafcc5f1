// The socket API of the platform, for the socket files of this folder only:
// its headers, its handle type and error numbers, the pieces both platforms
// share (socket_shared.cc), and the few calls each platform makes its own way
// (socket_posix.cc, socket_win32.cc), on which the shared code is built.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#endif

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/socket.h"

namespace tarvex {

#ifdef _WIN32
using NativeSocket = SOCKET;
// The error numbers the shared code tells apart (WSAGetLastError() values).
inline constexpr int kAddressInUse = WSAEADDRINUSE;
inline constexpr int kAddressNotAvailable = WSAEADDRNOTAVAIL;
inline constexpr int kAccessDenied = WSAEACCES;
inline constexpr int kNotPermitted = WSAEACCES;  // Winsock has no error of its own for it
#else
using NativeSocket = int;
// The error numbers the shared code tells apart (errno values).
inline constexpr int kAddressInUse = EADDRINUSE;
inline constexpr int kAddressNotAvailable = EADDRNOTAVAIL;
inline constexpr int kAccessDenied = EACCES;
inline constexpr int kNotPermitted = EPERM;
#endif

inline NativeSocket Native(const Socket& socket) { return static_cast<NativeSocket>(socket.Descriptor()); }
inline SocketHandle Handle(NativeSocket socket) { return static_cast<SocketHandle>(socket); }

// text (an IPv4 dotted quad, or a name resolved to an IPv4 address) and port
// as a socket address; false when it is neither.
bool ToAddress(std::string_view text, std::uint16_t port, sockaddr_in* out);

// Sets TCP_NODELAY: a reply goes out at once, not held for more bytes.
void SetNoDelay(const Socket& socket);

// Each platform's own calls, on which the shared ones are built.

// The error number of the socket call that failed last in this thread.
int LastSocketError();
// Whether an error number means the call would have had to wait.
bool IsWouldBlock(int error);
// Whether it means descriptors or memory ran out.
bool IsOutOfResources(int error);

// Closes a socket handle.
void CloseNative(NativeSocket socket);

// A new TCP socket over IPv4 that child processes do not inherit; invalid
// (LastSocketError() says why) on failure.
Socket NewTcpSocket();

// Makes a new socket ready to be bound and listen: non-blocking, so that an
// accept after a connection vanished fails at once instead of blocking the
// accept loop, and with the platform's rule for reusing the port. False
// (LastSocketError() says why) on failure.
bool PrepareListener(const Socket& socket);

// Accepts one pending connection, not inherited by child processes; invalid
// with *error set to the error number on failure.
Socket AcceptNative(const Socket& listener, int* error);

// Connects a new socket to addr, waiting for the connection; false on
// failure. The socket is then ready for the calls of socket.h.
bool ConnectNative(const Socket& socket, const sockaddr_in& addr);

enum class Readiness { kReadable, kWritable };
// Waits until the socket is ready the given way, for at most the time-out; a
// signal does not cut the wait short.
WaitResult PollFor(const Socket& socket, Readiness readiness, std::chrono::milliseconds timeout);

// One send or receive that never waits: the bytes moved (0 received when the
// peer closed), or -1 with LastSocketError() saying why (IsWouldBlock when
// the call would have had to wait).
long SendNow(const Socket& socket, const char* data, std::size_t n);
long ReceiveNow(const Socket& socket, char* data, std::size_t n);

}  // namespace tarvex
