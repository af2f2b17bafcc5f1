// SPDX-License-Identifier: GPL-3.0-or-later
// ControlServer: answers the running server's control socket (see
// platform/control_socket.h) on a thread of its own. A client sends one
// request line and reads the reply until the socket closes:
//   "status" -> "running" or "stopped" on the first line, then the report
//               of `tarvexd status` (state, port, addresses, sessions);
//   "raise"  -> "raised" after the raise handler ran, "no window" without
//               one (tarvexd);
//   anything else -> "unknown request".
// Each client gets at most about a second; a slow one delays the next.
//
// Make it only while holding the single-instance lock; destroying it stops
// the thread and removes the socket file.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/socket.h"

namespace tarvex {

class Server;

class ControlServer {
 public:
  // Listens at `path`. `raise` runs on the control thread (post it to the
  // window's thread); none where there is no window. The Server must
  // outlive this object.
  ControlServer(const Server& server, std::function<void()> raise = {},
                std::string path = DefaultPath());
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // False when the socket could not be made; Error() gives the system's
  // error number then.
  bool IsServing() const { return listener_.IsValid(); }
  int Error() const { return error_; }

  static std::string DefaultPath();

 private:
  void Serve();
  std::string Answer(std::string_view request) const;

  const Server& server_;
  std::function<void()> raise_;
  std::string path_;
  int error_ = 0;
  Socket listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Sends one request to the running server's control socket and returns the
// whole reply; none when nothing listens or no reply came within `timeout`.
std::optional<std::string> AskRunningServer(std::string_view request,
                                            std::chrono::milliseconds timeout = std::chrono::seconds(5),
                                            const std::string& path = ControlServer::DefaultPath());

}  // namespace tarvex
