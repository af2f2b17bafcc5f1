#include "core/server/login_loop.h"

#include <algorithm>
#include <cstdio>

#include "common/device_text.h"
#include "core/server/authentication.h"
#include "core/server/server.h"
#include "core/settings/server_settings.h"
#include "log/server_log.h"
#include "protocol/codes.h"

namespace tarvex {
namespace {

constexpr char kModule[] = "Server";
constexpr std::uint64_t kListenerToken = 0;
constexpr std::chrono::milliseconds kRound(1000);
constexpr std::size_t kAcceptsPerRound = 64;
constexpr std::size_t kEventsPerRound = 256;
// Pauses of accepting while descriptors are exhausted.
constexpr std::chrono::milliseconds kFirstPause(100);
constexpr std::chrono::milliseconds kLongestPause(1000);

std::string Seconds(std::chrono::milliseconds length) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(length + std::chrono::milliseconds(999));
  return std::to_string(seconds.count()) + " s";
}

}  // namespace

LoginLoop::LoginLoop(Server& server, Listener* listener, Poller* poller, SourcePenalties* penalties,
                     std::size_t global_limit)
    : server_(server), listener_(listener), poller_(poller), penalties_(penalties),
      global_limit_(std::max<std::size_t>(global_limit, 1)) {}

LoginLoop::~LoginLoop() {
  for (auto& [id, login] : pending_) {
    poller_->Remove(login.connection->Holder()->socket);
    Close(std::move(login.connection));
  }
  pending_.clear();
  Publish();
}

void LoginLoop::Run(const ManualResetEvent& stop) {
  const Socket* listening = ListeningSocket(listener_);
  listening_ = listening != nullptr && poller_->Add(*listening, kListenerToken);
  std::vector<std::uint64_t> ready;
  while (!stop.IsSet()) {
    Time now = std::chrono::steady_clock::now();
    if (!listening_ && pause_.count() > 0 && now >= resume_at_) listening_ = poller_->Add(*listening, kListenerToken);
    auto wait = kRound;
    if (!pending_.empty()) {
      wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(pending_.begin()->second.deadline - now));
    }
    if (!listening_ && pause_.count() > 0) {
      wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(resume_at_ - now));
    }
    bool woken = false;
    if (!poller_->Wait(std::max(wait, std::chrono::milliseconds(0)), kEventsPerRound, &ready, &woken)) {
      server_.Log().LogEvent(kModule, "", "Failed to start server: Accept Error occurred: 6", "2");
      break;
    }
    if (stop.IsSet()) break;
    now = std::chrono::steady_clock::now();
    bool accept_failed = false;
    for (std::uint64_t token : ready) {
      if (token == kListenerToken) {
        accept_failed = !AcceptQueued(now);
      } else {
        Advance(token, now);
      }
    }
    ExpireLogins(std::chrono::steady_clock::now());
    server_.sessions_.Reap();
    Publish();
    if (accept_failed) break;
  }
}

bool LoginLoop::AcceptQueued(Time now) {
  for (std::size_t i = 0; i < kAcceptsPerRound; ++i) {
    Status code = 0;
    std::unique_ptr<Connection> connection = AcceptWaiting(listener_, &code);
    if (code == accept_status::kNothingCame) return true;
    if (code == accept_status::kOutOfResources) {
      // An accept takes its descriptor before it looks at the queue, so after
      // one that succeeded this says nothing of a device waiting: the next
      // round's wait tells whether one is.
      if (i > 0) return true;
      // The device stays queued and an accept at once would fail again: one
      // entry for the burst, and pauses that grow while it lasts.
      if (pause_.count() == 0) {
        LogBeginSessionFailed(server_, server_.session_counter_++, "");
        pause_ = kFirstPause;
      } else {
        pause_ = std::min(pause_ * 2, kLongestPause);
      }
      poller_->Remove(*ListeningSocket(listener_));
      listening_ = false;
      resume_at_ = now + pause_;
      return true;
    }
    if (code != accept_status::kOk) {
      char message[64];
      std::snprintf(message, sizeof message, "Failed to start server: Accept Error occurred: %d",
                    static_cast<int>(static_cast<std::int16_t>(code)));
      server_.Log().LogEvent(kModule, "", message, "2");
      return false;
    }
    pause_ = std::chrono::milliseconds(0);
    Admit(std::move(connection), now);
  }
  return true;
}

void LoginLoop::Admit(std::unique_ptr<Connection> connection, Time now) {
  const std::string& address = connection->PeerAddress();
  if (!connection->Holder()->socket.IsValid()) {
    LogBeginSessionFailed(server_, server_.session_counter_++, address);
    return;
  }
  const std::string source = SourceOfAddress(address);
  if (penalties_->IsPenalised(source, now)) {
    if (penalties_->FirstRefusal(source, now)) {
      server_.Log().LogEvent(kModule, "",
                             FromAddress("Connections refused for " + Seconds(penalties_->PenaltyLength(source, now)) +
                                             " after " + std::to_string(penalties_->Failures(source, now)) +
                                             " failed logins in a row",
                                         address),
                             "2");
    }
    Close(std::move(connection));
    return;
  }
  SourceLogins& logins = sources_[source];
  if (logins.ids.size() >= kMaxPendingPerSource) {
    if (!logins.limit_logged) {
      logins.limit_logged = true;
      server_.Log().LogEvent(
          kModule, "",
          FromAddress("Too many logins in progress (" + std::to_string(kMaxPendingPerSource) +
                          "): further connections closed",
                      address),
          "2");
    }
    Close(std::move(connection));
    return;
  }
  if (pending_.size() >= global_limit_) DropOldestOfBusiest();

  const std::int32_t number = server_.session_counter_++;
  EnableCipher(connection.get(), server_.Settings().GetPassword());
  const std::uint64_t id = next_id_++;
  if (!poller_->Add(connection->Holder()->socket, id)) {
    LogBeginSessionFailed(server_, number, address);
    Close(std::move(connection));
    if (sources_[source].ids.empty()) sources_.erase(source);
    return;
  }
  const Time deadline = now + std::chrono::seconds(TimeoutSeconds(server_.Options().login_timeout));
  pending_.emplace(id, Pending{std::move(connection), number, deadline, source, LoginReader{}});
  SourceLogins& same = sources_[source];  // DropOldestOfBusiest may have rehashed the table
  same.ids.insert(id);
  SetSourceCount(source, same.ids.size() - 1, same.ids.size());
}

void LoginLoop::Advance(std::uint64_t id, Time now) {
  auto found = pending_.find(id);
  if (found == pending_.end()) return;
  const LoginReader::Progress progress = found->second.reader.ReadAvailable(found->second.connection.get());
  if (progress == LoginReader::Progress::kMore) return;
  Pending login = Take(id);
  const std::string& address = login.connection->PeerAddress();
  switch (progress) {
    case LoginReader::Progress::kFailed:
      LogBeginSessionFailed(server_, login.session_number, address);
      CountFailure(login.source, std::nullopt, now);
      Close(std::move(login.connection));
      break;
    case LoginReader::Progress::kWrongKey:
      // Keyed with another password: whatever it sent deciphers to noise.
      if (CountFailure(login.source, login.reader.Digest(), now)) LogInvalidLogin(server_, "", address);
      Close(std::move(login.connection));
      break;
    default:
      Authenticate(std::move(login), now);
      break;
  }
}

void LoginLoop::Authenticate(Pending login, Time now) {
  const LoginRequest& request = login.reader.Request();
  const std::string address = login.connection->PeerAddress();
  Connection* link = login.connection.get();
  // The login name as the desktop reads it, in UTF-8 for the log and the
  // window. It matches a configured name stored in UTF-8, or one stored as
  // the device's bytes (a settings file carried over from the original
  // platform).
  const std::string login_name = DeviceText(server_.Settings().GetDeviceCharset()).FromDevice(request.login);
  if (!CheckCredentials(server_, login_name, request.password) &&
      (login_name == request.login || !CheckCredentials(server_, request.login, request.password))) {
    const bool counted = CountFailure(login.source, login.reader.Digest(), now);
    if (counted) LogInvalidLogin(server_, login_name, address);
    SendAuthReply(link, protocol::kAuthWrongCredentials);
    Close(std::move(login.connection));
    return;
  }
  penalties_->Succeed(login.source);
  std::uint16_t status = protocol::kAuthUnknownService;
  if (OffersService(server_, request.service_id)) {
    status = protocol::kAuthAccepted;
    if (server_.sessions_.Running() >= kMaxSessions) {
      server_.Log().LogEvent(kModule, login_name,
                             FromAddress("Login refused: " + std::to_string(kMaxSessions) +
                                             " sessions are running - Session [" +
                                             std::to_string(login.session_number) + "]",
                                         address),
                             "2");
      Close(std::move(login.connection));
      return;
    }
  }
  if (SendAuthReply(link, status) != 0) {
    server_.Log().LogEvent(kModule, login_name, "Error sending auth response", "2");
    Close(std::move(login.connection));
    return;
  }
  if (status != protocol::kAuthAccepted) {
    Close(std::move(login.connection));
    return;
  }
  std::unique_ptr<Session> session =
      MakeSession(server_, &login.connection, login_name, request.service_id, login.session_number);
  if (!session) {
    Close(std::move(login.connection));
    return;
  }
  // What the session does is shown from now until its thread ends.
  const std::int32_t number = session->session_number;
  session->activity = server_.activity_.Begin(number, session->user, address);
  SessionActivity& activity = server_.activity_;
  // The cap was checked above and only this thread starts sessions.
  if (server_.sessions_.Start(std::move(session), kMaxSessions, [&activity, number] { activity.End(number); }) !=
      SessionTracker::Started::kStarted) {
    activity.End(number);
  }
}

void LoginLoop::ExpireLogins(Time now) {
  while (!pending_.empty() && pending_.begin()->second.deadline <= now) {
    Pending login = Take(pending_.begin()->first);
    LogBeginSessionFailed(server_, login.session_number, login.connection->PeerAddress());
    CountFailure(login.source, std::nullopt, now);
    Close(std::move(login.connection));
  }
}

LoginLoop::Pending LoginLoop::Take(std::uint64_t id) {
  auto found = pending_.find(id);
  Pending login = std::move(found->second);
  pending_.erase(found);
  poller_->Remove(login.connection->Holder()->socket);
  auto source = sources_.find(login.source);
  if (source != sources_.end()) {
    const std::size_t before = source->second.ids.size();
    source->second.ids.erase(id);
    SetSourceCount(login.source, before, source->second.ids.size());
    if (source->second.ids.empty()) sources_.erase(source);
  }
  return login;
}

void LoginLoop::SetSourceCount(const std::string& source, std::size_t before, std::size_t after) {
  if (before == after) return;
  if (before > 0) busiest_.erase({before, source});
  if (after > 0) busiest_.emplace(after, source);
}

bool LoginLoop::CountFailure(const std::string& source, std::optional<std::uint64_t> digest, Time now) {
  const SourcePenalties::Counted counted = penalties_->Fail(source, digest, now);
  if (counted == SourcePenalties::Counted::kPenaltyStarted) DropSource(source);
  return counted != SourcePenalties::Counted::kRepeat;
}

void LoginLoop::DropSource(const std::string& source) {
  auto found = sources_.find(source);
  if (found == sources_.end()) return;
  const std::vector<std::uint64_t> ids(found->second.ids.begin(), found->second.ids.end());
  for (std::uint64_t id : ids) Close(Take(id).connection);
}

void LoginLoop::DropOldestOfBusiest() {
  if (busiest_.empty()) return;
  const std::string source = busiest_.rbegin()->second;
  const std::uint64_t oldest = *sources_[source].ids.begin();
  Pending login = Take(oldest);
  LogBeginSessionFailed(server_, login.session_number, login.connection->PeerAddress());
  Close(std::move(login.connection));
}

void LoginLoop::Close(std::unique_ptr<Connection> connection) {
  if (!connection) return;
  CloseConnection(connection.get());
  ReleaseConnection(std::move(connection));
}

void LoginLoop::Publish() { server_.pending_logins_ = pending_.size(); }

}  // namespace tarvex
