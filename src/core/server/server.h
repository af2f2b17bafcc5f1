// Server: owns the server settings, the server log and the registered
// services, and runs the listener thread, which accepts devices, numbers each
// connection in accept order and hands it to a thread of its own. That
// thread authenticates the device within the login time-out (counted from
// the accept, for the whole request) and then runs the session of the
// service it asked for. So a slow or hostile device delays no other. At most
// kMaxPendingLogins logins are in progress at once; a connection beyond them
// waits up to kLoginPlaceWait for one of them to end, so that a burst of
// devices logging in together is served whole; when none ends, it is closed
// and logged as a failed session start. When descriptors run out, the
// listener pauses (100 ms, doubling up to 1 s) and logs one entry for the
// whole burst.
//
// Lifecycle: construct, InitServer once, then StartServer / StopServer any
// number of times (from one controlling thread). StopServer ends the logins
// in progress at once (their links are shut down) but does not wait: the
// listener thread ends within about a second, and a following StartServer
// joins it before a new one listens. Running sessions end on their own;
// destroying the Server ends them too and waits for them, and for the
// listener thread, before it saves the settings and the log and destroys the
// services.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/server/service.h"
#include "core/server/session_activity.h"
#include "core/server/session_tracker.h"
#include "platform/event.h"
#include "platform/socket.h"

namespace tarvex {

class ServerLog;
class ServerSettings;
struct PendingLogin;

// Logins in progress at once; the listener refuses connections beyond them
// when none of these ends within kLoginPlaceWait.
inline constexpr std::size_t kMaxPendingLogins = 64;
inline constexpr std::chrono::milliseconds kLoginPlaceWait{1000};

struct ServerOptions {
  // Time-out of the whole login, from the accept to the last byte of the
  // login request, in tenths of a second.
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

  // True when the listener is listening after the call. Otherwise
  // StartFailure() says why.
  bool StartServer();
  // Empty after a successful start (and before any start); after a failed
  // one, why it failed, for a person: "port 9300 is already in use",
  // "permission denied for port 80", "the settings are not complete", ...
  // Read it on the thread that called StartServer.
  const std::string& StartFailure() const { return start_failure_; }
  // Always true.
  bool StopServer();

  bool IsRunning() const { return running_; }
  // The port of the last start (the one listened on while running).
  std::uint16_t Port() const { return port_; }
  std::int16_t ServiceCount() const { return static_cast<std::int16_t>(services_.size()); }
  Service* GetService(int index) const;

  ServerSettings& Settings() { return *settings_; }
  ServerLog& Log() { return *log_; }
  const ServerOptions& Options() const { return options_; }
  // The number the next accepted connection gets.
  std::int32_t SessionCounter() const { return session_counter_; }
  std::size_t PendingLogins() const { return sessions_.PendingLogins(); }
  // What the running sessions are doing; safe to read from any thread.
  const SessionActivity& Activity() const { return activity_; }

 private:
  void ListenerThread();
  void JoinListener();
  // On the listener thread: numbers the connection and starts its login
  // thread, or refuses it.
  void BeginLogin(std::unique_ptr<Connection> connection, SteadyTime accepted_at);
  // The login thread: authenticates, then runs the session.
  void RunLogin(PendingLogin login, std::uint64_t ticket);

  ServerOptions options_;
  std::thread listener_;
  std::atomic<bool> running_{false};
  ManualResetEvent stop_event_;
  ManualResetEvent started_event_;
  std::atomic<std::uint16_t> port_{0};
  std::string start_failure_;  // written by the listener thread before started_event_
  bool first_run_shown_ = false;
  FirstRunHandler first_run_;
  std::vector<std::unique_ptr<Service>> services_;
  std::unique_ptr<ServerSettings> settings_;
  std::unique_ptr<ServerLog> log_;
  std::atomic<std::int32_t> session_counter_{1};  // advanced by the listener thread only
  SessionActivity activity_;
  SessionTracker sessions_;
};

}  // namespace tarvex
