// Server: owns the server settings, the server log and the registered
// services, and runs the listener thread: one login loop (LoginLoop) that
// accepts devices, numbers each connection in accept order, holds every
// login in progress until its request has come or its login time-out
// (counted from the accept, for the whole request) has passed, checks it and
// hands each device that logged in to a session thread of its own. A
// connection that has not logged in holds no thread, so no number of them
// delays another device's login; what one network source may hold and what
// its failed logins cost it are bounded (login_loop.h). At most kMaxSessions
// sessions run at once; a login beyond them is refused and logged.
//
// Lifecycle: construct, InitServer once, then StartServer / StopServer any
// number of times (from one controlling thread). StartServer raises the
// process's soft limit of open descriptors to its hard limit. StopServer
// wakes the listener thread, which closes the logins in progress and ends at
// once; a following StartServer joins it before a new one listens. Running
// sessions end on their own; destroying the Server ends them too and joins
// every session thread, and the listener thread, before it saves the
// settings and the log and destroys the services.
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
#include "core/server/source_penalties.h"
#include "platform/event.h"
#include "platform/poller.h"
#include "platform/socket.h"

namespace tarvex {

class ServerLog;
class ServerSettings;
class LoginLoop;

// Logins in progress from one source (IPv4 address, IPv6 /64) at once.
inline constexpr std::size_t kMaxPendingPerSource = 16;
// Sessions running at once.
inline constexpr std::size_t kMaxSessions = 256;

// Logins in progress at once over all sources, for a process that may open
// `descriptors`: what is left after room for every session and its files.
std::size_t PendingLoginLimit(std::uint64_t descriptors);

struct ServerOptions {
  // Time-out of the whole login, from the accept to the last byte of the
  // login request, in tenths of a second.
  int login_timeout = 400;
  // Local address the listener binds to.
  std::string listen_address = std::string(kAnyAddress);
  // Logins in progress at once over all sources; 0: PendingLoginLimit of the
  // descriptor limit.
  std::size_t max_pending_logins = 0;
  // What failed logins cost their source.
  PenaltyRules penalties;
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
  std::size_t PendingLogins() const { return pending_logins_; }
  std::size_t RunningSessions() const { return sessions_.Running(); }
  // What the running sessions are doing; safe to read from any thread.
  const SessionActivity& Activity() const { return activity_; }

 private:
  friend class LoginLoop;

  void ListenerThread();
  void JoinListener();

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
  std::atomic<std::size_t> pending_logins_{0};    // written by the listener thread only
  std::size_t pending_limit_ = 0;                 // set at each start
  SourcePenalties penalties_;                     // used by the listener thread only
  std::unique_ptr<Poller> poller_;                // the listener thread's, for one start
  SessionActivity activity_;
  SessionTracker sessions_;
};

}  // namespace tarvex
