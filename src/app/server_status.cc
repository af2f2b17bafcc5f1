// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/server_status.h"

#include <cstdio>

#include "platform/socket.h"

namespace tarvex {

std::string ConnectAddresses(std::string_view listen_address,
                             const std::vector<InterfaceAddress>& interfaces) {
  std::string text;
  auto add = [&text](const std::string& address, const std::string& name) {
    if (!text.empty()) text += ", ";
    text += address;
    if (!name.empty()) text += " (" + name + ")";
  };
  if (listen_address == kAnyAddress) {
    for (const InterfaceAddress& entry : interfaces) {
      if (!entry.loopback) add(entry.address, entry.interface);
    }
    return text;
  }
  std::string name;
  for (const InterfaceAddress& entry : interfaces) {
    if (entry.address == listen_address) name = entry.interface;
  }
  add(std::string(listen_address), name);
  return text;
}

std::string StartLine(std::uint16_t port, const std::string& addresses) {
  std::string line = "Listening on port " + std::to_string(port) + "; ";
  if (addresses.empty()) {
    return line + "this computer has no network address other than loopback yet";
  }
  return line + "handhelds can connect to " + addresses;
}

std::string CountOf(std::size_t count, std::string_view singular, std::string_view plural) {
  return std::to_string(count) + " " + std::string(count == 1 ? singular : plural);
}

std::string ReadableSize(double bytes) {
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
  if (bytes < 1024) return CountOf(static_cast<std::size_t>(bytes), "byte", "bytes");
  int unit = -1;
  while (bytes >= 1024 && unit < 3) {
    bytes /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
  return text;
}

std::string SessionLine(const SessionInfo& session) {
  std::string line = session.user.empty() ? std::string("(no user)") : session.user;
  if (!session.address.empty()) line += " from " + session.address;
  line += ": " + DescribeDoing(session.doing, session.name);
  if (session.doing == SessionDoing::kReceiving || session.doing == SessionDoing::kSending) {
    line += ", " + std::to_string(session.done) + " of " + CountOf(session.total, "byte", "bytes");
    if (session.total > 0) {
      line += " (" + std::to_string(session.done * 100 / session.total) + "%)";
    }
    line += ", " + ReadableSize(session.rate) + "/s";
  }
  return line;
}

std::string StatusReport(bool running, std::uint16_t port, const std::string& addresses,
                         const std::vector<SessionInfo>& sessions) {
  std::vector<const SessionInfo*> live;
  for (const SessionInfo& session : sessions) {
    if (!session.ended) live.push_back(&session);
  }
  std::string report;
  if (running) {
    report = "Tarvex Server is running on port " + std::to_string(port) + ".\n";
    report += addresses.empty() ? std::string("This computer has no network address other than loopback.\n")
                                : "Handhelds can connect to " + addresses + ".\n";
  } else {
    report = "Tarvex Server is stopped.\n";
  }
  if (live.empty()) {
    if (running) report += "No device is connected.\n";
    return report;
  }
  report += CountOf(live.size(), "device", "devices") + " connected:\n";
  for (const SessionInfo* session : live) report += "  " + SessionLine(*session) + "\n";
  return report;
}

}  // namespace tarvex
