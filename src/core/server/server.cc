#include "core/server/server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "common/join_texts.h"
#include "core/cipher/link_key.h"
#include "core/server/authentication.h"
#include "core/settings/server_settings.h"
#include "core/transport/listener.h"
#include "log/server_log.h"

namespace tarvex {
namespace {

constexpr char kModule[] = "Server";
constexpr int kBacklog = 100;
constexpr int kAcceptTimeout = 10;  // one second
// Pauses of the accept loop while descriptors are exhausted.
constexpr std::chrono::milliseconds kFirstPause(100);
constexpr std::chrono::milliseconds kLongestPause(1000);

}  // namespace

Server::Server(ServerOptions options) : options_(std::move(options)) {}

Server::~Server() {
  StopServer();
  JoinListener();
  sessions_.EndAll();
  // The settings are written back, then the log saved, then the services go.
  settings_.reset();
  if (log_) log_->Save();
  log_.reset();
  services_.clear();
}

bool Server::InitServer(const std::vector<ServiceFactory>& services) {
  std::optional<std::string> data_dir = ServerSettings::GetDataDir();
  if (!data_dir) {
    if (!ServerSettings::SetDefaultDataDir()) return false;
    data_dir = ServerSettings::GetDataDir();
    if (!data_dir) return false;
  }
  std::optional<std::string> path = JoinTexts({*data_dir, "TSConfig.txt"});
  if (!path) return false;
  settings_ = std::make_unique<ServerSettings>(*path);
  log_ = std::make_unique<ServerLog>("TSServerLog.txt", 500);
  if (log_->Open()) {
    for (const ServiceFactory& make : services) {
      std::unique_ptr<Service> service = make ? make() : nullptr;
      if (!service) return false;
      service->SetServerLog(log_.get());
      services_.push_back(std::move(service));
    }
  }
  return true;
}

Service* Server::GetService(int index) const {
  if (index < 0 || index >= static_cast<int>(services_.size())) return nullptr;
  return services_[static_cast<std::size_t>(index)].get();
}

bool Server::StartServer() {
  if (running_) {
    // Changes nothing, the running listener included.
    start_failure_.clear();
    return false;
  }
  start_failure_.clear();
  if (!settings_ || !log_) {
    start_failure_ = "the server could not be initialised";
    return false;
  }
  if (!settings_->IsComplete()) {
    if (first_run_shown_) {
      start_failure_ = "the login name, password and port are not set";
      return false;
    }
    if (first_run_) first_run_(*settings_);
    first_run_shown_ = true;
    return StartServer();
  }
  for (const auto& service : services_) {
    if (!service->IsReady()) {
      start_failure_ = "the service " + service->GetServiceName() + " is not ready";
      return false;
    }
  }
  port_ = static_cast<std::uint16_t>(settings_->GetPort());

  // A listener thread still finishing after a stop must be gone before a new
  // one takes the port.
  JoinListener();
  sessions_.OpenLogins();
  stop_event_.Reset();
  started_event_.Reset();
  listener_ = std::thread(&Server::ListenerThread, this);
  if (!started_event_.Wait(std::chrono::milliseconds(10000))) {
    while (!started_event_.Wait(std::chrono::milliseconds(1000))) {
    }
  }
  return running_;
}

bool Server::StopServer() {
  if (!running_) return true;
  stop_event_.Set();
  running_ = false;
  log_->LogEvent(kModule, "", "Server Stopped", "0");
  sessions_.EndLogins();
  ReleaseLinkKeySchedule();
  return true;
}

void Server::JoinListener() {
  if (listener_.joinable()) {
    stop_event_.Set();
    listener_.join();
  }
}

void Server::ListenerThread() {
  std::unique_ptr<Listener> listener = CreateListener();
  // Each outcome is logged before the starter is woken, so that the entry is
  // in the log when StartServer returns.
  if (!listener) {
    start_failure_ = "no listener could be made";
    log_->LogEvent(kModule, "", "Failed to Init Tarvex Server Handle", "2");
    started_event_.Set();
    return;
  }
  if (Listen(listener.get(), port_, kBacklog, options_.listen_address) != 0) {
    // The designed entry, then why: a person reading the log can act on it.
    start_failure_ = DescribeListenError(listener->error, port_, options_.listen_address);
    log_->LogEvent(kModule, "", "Failed to start Tarvex Message Service: " + start_failure_, "2");
    started_event_.Set();
    FreeListener(std::move(listener));
    return;
  }
  running_ = true;
  log_->LogEvent(kModule, "", "Server Started", "0");
  started_event_.Set();

  std::chrono::milliseconds pause(0);  // while descriptors are exhausted
  for (;;) {
    Status code = 0;
    std::unique_ptr<Connection> connection =
        AcceptConnection(listener.get(), kAcceptTimeout, &code);
    bool leave = false;
    if (connection) {
      pause = std::chrono::milliseconds(0);
      BeginLogin(std::move(connection), std::chrono::steady_clock::now());
    } else if (code == accept_status::kNothingCame) {
      pause = std::chrono::milliseconds(0);
      std::this_thread::yield();
    } else if (code == accept_status::kOutOfResources) {
      // The device stays queued and an accept at once would fail again: one
      // entry for the burst, and pauses that grow while it lasts.
      if (pause.count() == 0) {
        LogBeginSessionFailed(*this, session_counter_++);
        pause = kFirstPause;
      } else {
        pause = std::min(pause * 2, kLongestPause);
      }
      leave = stop_event_.Wait(pause);
    } else {
      char message[64];
      std::snprintf(message, sizeof message, "Failed to start server: Accept Error occurred: %d",
                    static_cast<int>(static_cast<std::int16_t>(code)));
      log_->LogEvent(kModule, "", message, "2");
      leave = true;
    }
    if (leave || stop_event_.IsSet()) break;
  }
  CloseListener(listener.get());
  FreeListener(std::move(listener));
}

void Server::BeginLogin(std::unique_ptr<Connection> connection, SteadyTime accepted_at) {
  const std::int32_t number = session_counter_++;
  // The tracker's duplicate lets a stop end the login at once.
  Socket duplicate;
  if (SocketHolder* holder = connection->Holder()) duplicate = DuplicateSocket(holder->socket);
  std::optional<std::uint64_t> ticket;
  if (duplicate.IsValid()) ticket = sessions_.EnterLogin(std::move(duplicate), kMaxPendingLogins, kLoginPlaceWait);
  if (ticket) {
    PendingLogin login{std::move(connection), number,
                       accepted_at + std::chrono::seconds(TimeoutSeconds(options_.login_timeout))};
    try {
      std::thread([this, login = std::move(login), ticket = *ticket]() mutable {
        RunLogin(std::move(login), ticket);
      }).detach();
      return;
    } catch (const std::system_error&) {
      // No thread could be made; the link went with the thread's state.
      sessions_.Finish(*ticket);
    }
  }
  LogBeginSessionFailed(*this, number);
  if (connection) {
    CloseConnection(connection.get());
    ReleaseConnection(std::move(connection));
  }
}

void Server::RunLogin(PendingLogin login, std::uint64_t ticket) {
  std::unique_ptr<Session> session;
  if (AuthenticateConnection(*this, &login, &session) == 0) {
    sessions_.SessionStarted(ticket);
    const std::int32_t number = session->session_number;
    std::string address;
    if (session->connection && session->connection->Holder()) {
      address = PeerAddress(session->connection->Holder()->socket);
    }
    session->activity = activity_.Begin(number, session->user, address);
    session->Run();
    session.reset();
    activity_.End(number);
  } else if (login.connection) {
    CloseConnection(login.connection.get());
    ReleaseConnection(std::move(login.connection));
  }
  // The last touch of the Server: once finished, it may be destroyed.
  sessions_.Finish(ticket);
}

}  // namespace tarvex
