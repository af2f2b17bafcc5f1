// What both platforms derive from their list of interfaces.
#include "platform/network_addresses.h"

namespace tarvex {
std::vector<std::string> NonLoopbackIpv4Addresses() {
  std::vector<std::string> addresses;
  for (const InterfaceAddress& entry : Ipv4Interfaces()) {
    if (!entry.loopback) addresses.push_back(entry.address);
  }
  return addresses;
}

}  // namespace tarvex
