#include "core/server/server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "core/cipher/link_key.h"
#include "core/server/login_loop.h"
#include "core/settings/server_settings.h"
#include "core/transport/listener.h"
#include "log/server_log.h"
#include "platform/descriptor_limit.h"

namespace tarvex {
namespace {

constexpr char kModule[] = "Server";
constexpr int kBacklog = 100;

}  // namespace

std::size_t PendingLoginLimit(std::uint64_t descriptors) {
  // Each session holds its link, the link's duplicate and a few files.
  constexpr std::uint64_t kReserve = kMaxSessions * 4 + 64;
  if (descriptors > 2 * kReserve) return static_cast<std::size_t>(descriptors - kReserve);
  return static_cast<std::size_t>(std::max<std::uint64_t>(kMaxPendingPerSource, descriptors / 2));
}

Server::Server(ServerOptions options) : options_(std::move(options)), penalties_(options_.penalties) {}

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
  settings_ = ServerSettings::Open();
  if (!settings_) return false;
  log_ = std::make_unique<ServerLog>("TSServerLog.txt", 500);
  if (log_->Open(settings_->GetDeviceCharset())) {
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
  const std::uint64_t descriptors = RaiseDescriptorLimit();
  pending_limit_ = options_.max_pending_logins != 0 ? options_.max_pending_logins : PendingLoginLimit(descriptors);
  poller_ = std::make_unique<Poller>();
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
  if (poller_) poller_->Wake();
  ReleaseLinkKeySchedule();
  return true;
}

void Server::JoinListener() {
  if (listener_.joinable()) {
    stop_event_.Set();
    if (poller_) poller_->Wake();
    listener_.join();
  }
  poller_.reset();
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
  if (!poller_ || !poller_->IsValid()) {
    log_->LogEvent(kModule, "", "Failed to start Tarvex Message Service", "2");
    started_event_.Set();
    CloseListener(listener.get());
    FreeListener(std::move(listener));
    return;
  }
  running_ = true;
  log_->LogEvent(kModule, "", "Server Started", "0");
  started_event_.Set();
  {
    LoginLoop loop(*this, listener.get(), poller_.get(), &penalties_, pending_limit_);
    loop.Run(stop_event_);
  }
  CloseListener(listener.get());
  FreeListener(std::move(listener));
}

}  // namespace tarvex
