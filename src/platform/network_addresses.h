// The machine's own network addresses, for telling a handheld where the
// server is.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

// The IPv4 addresses of the interfaces that are up, other than loopback, as
// dotted quads, in the order the system lists them, without duplicates.
// Empty when there are none or they cannot be read.
std::vector<std::string> NonLoopbackIpv4Addresses();

struct InterfaceAddress {
  std::string address;    // dotted quad
  std::string interface;  // the interface's name ("eth0", "wlan0", "lo")
  bool loopback = false;
};

// Every IPv4 address of the interfaces that are up, loopback included, in
// the order the system lists them, without duplicate addresses.
std::vector<InterfaceAddress> Ipv4Interfaces();

}  // namespace tarvex
