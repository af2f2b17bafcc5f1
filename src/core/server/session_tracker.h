// SessionTracker: knows the connection threads that are running, logins in
// progress and the sessions they became, so that the server can end them
// (shut their links down) and wait for them before it destroys the logs and
// services they use.
//
// Each thread is entered with its own duplicate of the link's socket:
// shutting that down ends the thread's receives and sends at once, and the
// duplicate cannot be reused by another link while the thread closes its own.
// A thread counts as a pending login from EnterLogin until SessionStarted.
// Safe for concurrent use.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "platform/socket.h"

namespace tarvex {

class SessionTracker {
 public:
  // Enters a pending login; the ticket is given back to Finish. When `limit`
  // logins are pending already, waits up to `wait` for one of them to end or
  // become a session. None (and the duplicate is closed) when no place came
  // free in that time or logins are closed.
  std::optional<std::uint64_t> EnterLogin(Socket link_duplicate, std::size_t limit,
                                          std::chrono::milliseconds wait = std::chrono::milliseconds(0));
  // The login became a running session, which EndLogins leaves alone.
  void SessionStarted(std::uint64_t ticket);
  void Finish(std::uint64_t ticket);

  std::size_t PendingLogins() const;

  // Shuts the links of all pending logins down and admits no new login
  // until OpenLogins.
  void EndLogins();
  void OpenLogins();

  // Shuts every link down and waits until all threads finished, shutting
  // down again at every `round`. Returns when none runs.
  void EndAll(std::chrono::milliseconds round = std::chrono::milliseconds(1000));

 private:
  struct Entry {
    Socket link;
    bool pending = true;
  };

  mutable std::mutex mutex_;
  std::condition_variable finished_;
  std::condition_variable login_ended_;  // a pending login ended, or logins closed
  std::map<std::uint64_t, Entry> running_;
  std::size_t pending_ = 0;
  bool logins_open_ = true;
  std::uint64_t next_ticket_ = 1;
};

}  // namespace tarvex
