// SPDX-License-Identifier: GPL-3.0-or-later
// The texts that tell a person where handhelds connect and what the server
// is doing: the start line of tarvexd and the report of `tarvexd status`.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/server/session_activity.h"
#include "platform/network_addresses.h"

namespace tarvex {

// The addresses a handheld can use for a listener bound to `listen_address`:
// for any address, every non-loopback one ("192.168.1.23 (eth0), 10.0.0.5
// (wlan0)"); for one address, that address (with its interface's name when
// it is one of `interfaces`). "" when there is none.
std::string ConnectAddresses(std::string_view listen_address,
                             const std::vector<InterfaceAddress>& interfaces);

// "Listening on port 9300; handhelds can connect to ADDRESSES", or, without
// an address, that the computer has no network address but loopback.
std::string StartLine(std::uint16_t port, const std::string& addresses);

// "1 device", "2 devices": a count with its noun in agreeing number.
std::string CountOf(std::size_t count, std::string_view singular, std::string_view plural);

// 1536 -> "1.5 KB", 3 -> "3 bytes" (units of 1024).
std::string ReadableSize(double bytes);

// One line per running session: "ann from 192.168.1.40: receiving a.pdf,
// 1048576 of 4194304 bytes (25%), 1.0 MB/s"; an idle session names no bytes.
std::string SessionLine(const SessionInfo& session);

// The whole report: state, port, addresses, then the running sessions
// (ended ones are left out).
std::string StatusReport(bool running, std::uint16_t port, const std::string& addresses,
                         const std::vector<SessionInfo>& sessions);

}  // namespace tarvex
