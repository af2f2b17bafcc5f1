// The machine's addresses on Windows: GetAdaptersAddresses, IPv4 only, the
// adapters that are up. An interface's name is the adapter's friendly name
// ("Ethernet", "Wi-Fi", "Loopback Pseudo-Interface 1").
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#undef interface  // a macro of the COM headers; a field's name below

#include <algorithm>
#include <string>

#include "platform/network_addresses.h"
#include "platform/wide_text_win32.h"

namespace tarvex {

std::vector<InterfaceAddress> Ipv4Interfaces() {
  std::vector<InterfaceAddress> found;
  const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
  // The list may grow between the call that sizes it and the one that
  // fills it: a few tries.
  std::string buffer(16 * 1024, '\0');
  ULONG size = static_cast<ULONG>(buffer.size());
  ULONG rc = ERROR_BUFFER_OVERFLOW;
  for (int tries = 0; tries < 4 && rc == ERROR_BUFFER_OVERFLOW; ++tries) {
    buffer.resize(size);
    rc = GetAdaptersAddresses(AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                              &size);
  }
  if (rc != NO_ERROR) return found;
  for (const auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    if (adapter->OperStatus != IfOperStatusUp) continue;
    const bool loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
    const std::string name = adapter->FriendlyName != nullptr ? FromWide(adapter->FriendlyName) : "";
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
      const sockaddr* address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET) continue;
      char text[INET_ADDRSTRLEN] = {};
      const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
      if (inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text) == nullptr) continue;
      const bool seen = std::any_of(found.begin(), found.end(),
                                    [&](const InterfaceAddress& a) { return a.address == text; });
      // 127.0.0.0/8 is loopback whatever adapter carries it.
      if (!seen) found.push_back({text, name, loopback || (ntohl(v4->sin_addr.s_addr) >> 24) == 127});
    }
  }
  return found;
}

}  // namespace tarvex
