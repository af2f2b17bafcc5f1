// The parts of socket.h that read the same on both platforms' socket API.
#include <algorithm>
#include <iterator>
#include <string>

#include "platform/socket_native.h"

namespace tarvex {

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
