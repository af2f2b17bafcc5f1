// LoginLoop: the server's listener thread. One loop waits (epoll) on the
// listening socket and on every connection that has not finished its login,
// each with its deadline; no connection holds a thread until it has logged
// in. A connection is keyed at accept; once its login request has arrived
// whole it is checked, answered and handed to a session thread (a check takes
// microseconds, so the loop never waits on a device).
//
// What one network source (IPv4 address, IPv6 /64) may cost:
// - at most kMaxPendingPerSource logins in progress; a further connection
//   from it is closed at once;
// - when the global limit of logins in progress is reached, the oldest
//   login of the source holding the most is dropped to make room;
// - failed logins count against it (SourcePenalties); while it is penalised
//   its connections are closed at accept, and its logins in progress are
//   dropped when the penalty starts;
// - a login request whose length field deciphers outside 35..64 was keyed
//   with another password: logged as an invalid login, closed unanswered.
// Refusals are logged once per source and penalty (or while at its limit).
//
// Runs on one thread; the Server reads its count of logins in progress.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/server/source_penalties.h"
#include "core/transport/login_reader.h"
#include "core/transport/listener.h"
#include "platform/event.h"
#include "platform/poller.h"

namespace tarvex {

class Server;

class LoginLoop {
 public:
  // `global_limit`: logins in progress at once, over all sources.
  LoginLoop(Server& server, Listener* listener, Poller* poller, SourcePenalties* penalties,
            std::size_t global_limit);
  // Closes every login still in progress, unanswered and unlogged.
  ~LoginLoop();
  LoginLoop(const LoginLoop&) = delete;
  LoginLoop& operator=(const LoginLoop&) = delete;

  // Until the stop event is set (a Wake of the poller makes it notice at
  // once; otherwise it looks every second) or accepting fails for good.
  void Run(const ManualResetEvent& stop);

 private:
  using Time = std::chrono::steady_clock::time_point;
  struct Pending {
    std::unique_ptr<Connection> connection;
    std::int32_t session_number = 0;
    Time deadline;
    std::string source;
    LoginReader reader;
  };
  struct SourceLogins {
    std::set<std::uint64_t> ids;  // oldest first
    bool limit_logged = false;
  };

  // Accepts what is queued; false when accepting failed for good.
  bool AcceptQueued(Time now);
  void Admit(std::unique_ptr<Connection> connection, Time now);
  void Advance(std::uint64_t id, Time now);
  void ExpireLogins(Time now);
  // Checks, answers and hands on a login whose request arrived.
  void Authenticate(Pending login, Time now);

  // Takes a login out of the loop (and out of the poller).
  Pending Take(std::uint64_t id);
  void SetSourceCount(const std::string& source, std::size_t before, std::size_t after);
  // Counts a failure against the source; drops its logins in progress when
  // that starts a penalty. False for a repeat of its last failed login.
  bool CountFailure(const std::string& source, std::optional<std::uint64_t> digest, Time now);
  void DropSource(const std::string& source);
  void DropOldestOfBusiest();
  void Close(std::unique_ptr<Connection> connection);
  void Publish();

  Server& server_;
  Listener* listener_;
  Poller* poller_;
  SourcePenalties* penalties_;
  std::size_t global_limit_;
  std::map<std::uint64_t, Pending> pending_;  // by id: oldest (earliest deadline) first
  std::unordered_map<std::string, SourceLogins> sources_;
  std::set<std::pair<std::size_t, std::string>> busiest_;  // (logins in progress, source)
  std::uint64_t next_id_ = 1;
  // While descriptors are exhausted the listener rests from the poller.
  std::chrono::milliseconds pause_{0};
  Time resume_at_{};
  bool listening_ = false;
};

}  // namespace tarvex
