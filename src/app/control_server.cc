// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/control_server.h"

#include "app/server_status.h"
#include "core/server/server.h"
#include "platform/control_socket.h"
#include "platform/network_addresses.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kStopCheck(200);
constexpr std::chrono::milliseconds kClientTime(1000);
constexpr std::size_t kLongestRequest = 64;

std::chrono::milliseconds Left(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

// Sends all of `text` before the deadline; false when the peer took too long
// or went away.
bool SendAll(const Socket& socket, std::string_view text, Clock::time_point deadline) {
  while (!text.empty()) {
    const long sent = SendSomeWithin(socket, text.data(), text.size(), Left(deadline));
    if (sent <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// Reads until `stop_at_line_end` sees a line end, the peer closes, `limit`
// bytes came or the deadline passes.
std::optional<std::string> ReceiveUntil(const Socket& socket, bool stop_at_line_end, std::size_t limit,
                                        Clock::time_point deadline) {
  std::string text;
  char buffer[512];
  while (text.size() < limit) {
    if (stop_at_line_end && text.find('\n') != std::string::npos) return text;
    if (WaitReadable(socket, Left(deadline)) != WaitResult::kReady) return std::nullopt;
    const long got = ReceiveSome(socket, buffer, sizeof buffer);
    if (got < 0) return std::nullopt;
    if (got == 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

}  // namespace

std::string ControlServer::DefaultPath() { return ControlSocketPath(); }

ControlServer::ControlServer(const Server& server, std::function<void()> raise, std::string path)
    : server_(server), raise_(std::move(raise)), path_(std::move(path)) {
  listener_ = ListenControlSocket(path_, &error_);
  if (listener_.IsValid()) thread_ = std::thread(&ControlServer::Serve, this);
}

ControlServer::~ControlServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_.IsValid()) {
    listener_.Close();
    RemoveControlSocket(path_);
  }
}

void ControlServer::Serve() {
  while (!stop_) {
    if (WaitReadable(listener_, kStopCheck) != WaitResult::kReady) continue;
    Socket client = AcceptControlClient(listener_, path_);
    if (!client.IsValid()) continue;
    const Clock::time_point deadline = Clock::now() + kClientTime;
    std::optional<std::string> request = ReceiveUntil(client, true, kLongestRequest, deadline);
    if (!request) continue;
    std::string line = request->substr(0, request->find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    SendAll(client, Answer(line), deadline);
  }
}

std::string ControlServer::Answer(std::string_view request) const {
  if (request == "status") {
    const bool running = server_.IsRunning();
    const std::string addresses = ConnectAddresses(server_.Options().listen_address, Ipv4Interfaces());
    return std::string(running ? "running\n" : "stopped\n") +
           StatusReport(running, server_.Port(), addresses, server_.Activity().Snapshot());
  }
  if (request == "raise") {
    if (!raise_) return "no window\n";
    raise_();
    return "raised\n";
  }
  return "unknown request\n";
}

std::optional<std::string> AskRunningServer(std::string_view request, std::chrono::milliseconds timeout,
                                            const std::string& path) {
  const Clock::time_point deadline = Clock::now() + timeout;
  Socket socket = ConnectControlSocket(path);
  if (!socket.IsValid()) return std::nullopt;
  if (!SendAll(socket, std::string(request) + "\n", deadline)) return std::nullopt;
  return ReceiveUntil(socket, false, 1 << 20, deadline);
}

}  // namespace tarvex
