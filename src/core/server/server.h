// Server: owns the server settings, the server log and the registered
// services, and runs the listener thread that accepts devices, authenticates
// each one and hands it to a session of the service it asked for.
//
// Lifecycle: construct, InitServer once, then StartServer / StopServer any
// number of times (from one controlling thread). StopServer does not wait:
// the listener thread ends within about a second, and a following
// StartServer joins it before a new one listens. Running sessions end on
// their own; destroying the Server ends them (their links are shut down)
// and waits for them, and for the listener thread, before it saves the
// settings and the log and destroys the services.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/server/service.h"
#include "core/server/session_tracker.h"
#include "platform/event.h"
#include "platform/socket.h"

namespace tarvex {

class ServerLog;
class ServerSettings;

struct ServerOptions {
  // Time-out of the login request, in tenths of a second.
  int login_timeout = 400;
  // Local address the listener binds to.
  std::string listen_address = std::string(kAnyAddress);
};

class Server {
 public:
  using ServiceFactory = std::function<std::unique_ptr<Service>()>;
  // Shown once per Server when a start finds the settings incomplete (the
  // welcome and configuration dialogs, or their terminal equivalents).
  using FirstRunHandler = std::function<void(ServerSettings& settings)>;

  explicit Server(ServerOptions options = {});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Finds the data directory, loads the settings, opens the server log and,
  // when it opened, registers one service from each factory. True on success.
  bool InitServer(const std::vector<ServiceFactory>& services);

  void SetFirstRunHandler(FirstRunHandler handler) { first_run_ = std::move(handler); }

  // True when the listener is listening after the call.
  bool StartServer();
  // Always true.
  bool StopServer();

  bool IsRunning() const { return running_; }
  std::int16_t ServiceCount() const { return static_cast<std::int16_t>(services_.size()); }
  Service* GetService(int index) const;

  ServerSettings& Settings() { return *settings_; }
  ServerLog& Log() { return *log_; }
  const ServerOptions& Options() const { return options_; }
  std::int32_t SessionCounter() const { return session_counter_; }

 private:
  friend Status AuthenticateConnection(Server&, std::unique_ptr<Connection>*);
  friend Status StartSession(Server&, std::unique_ptr<Connection>*, std::string_view,
                             std::uint16_t);

  void ListenerThread();
  void JoinListener();

  ServerOptions options_;
  std::thread listener_;
  std::atomic<bool> running_{false};
  ManualResetEvent stop_event_;
  ManualResetEvent started_event_;
  std::uint16_t port_ = 0;
  bool first_run_shown_ = false;
  FirstRunHandler first_run_;
  std::vector<std::unique_ptr<Service>> services_;
  std::unique_ptr<ServerSettings> settings_;
  std::unique_ptr<ServerLog> log_;
  std::int32_t session_counter_ = 1;  // touched by the listener thread only
  SessionTracker sessions_;
};

}  // namespace tarvex
