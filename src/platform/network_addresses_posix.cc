#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

#include "platform/network_addresses.h"

namespace tarvex {

std::vector<InterfaceAddress> Ipv4Interfaces() {
  std::vector<InterfaceAddress> found;
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return found;
  for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0) continue;
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) == nullptr) continue;
    const bool seen = std::any_of(found.begin(), found.end(),
                                  [&](const InterfaceAddress& a) { return a.address == text; });
    if (!seen) {
      found.push_back({text, entry->ifa_name != nullptr ? entry->ifa_name : "",
                       (entry->ifa_flags & IFF_LOOPBACK) != 0});
    }
  }
  freeifaddrs(interfaces);
  return found;
}

}  // namespace tarvex
