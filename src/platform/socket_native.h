// The socket API of the platform, for the socket files of this folder only:
// its headers, its handle type, and the pieces both platforms share
// (socket_shared.cc).
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
#endif

#include <cstdint>
#include <string_view>

#include "platform/socket.h"

namespace tarvex {

#ifdef _WIN32
using NativeSocket = SOCKET;
#else
using NativeSocket = int;
#endif

inline NativeSocket Native(const Socket& socket) { return static_cast<NativeSocket>(socket.Descriptor()); }
inline SocketHandle Handle(NativeSocket socket) { return static_cast<SocketHandle>(socket); }

// text (an IPv4 dotted quad, or a name resolved to an IPv4 address) and port
// as a socket address; false when it is neither.
bool ToAddress(std::string_view text, std::uint16_t port, sockaddr_in* out);

// Sets TCP_NODELAY: a reply goes out at once, not held for more bytes.
void SetNoDelay(const Socket& socket);

}  // namespace tarvex
