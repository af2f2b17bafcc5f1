// SessionTracker: runs each session on a thread of its own, at most `limit`
// at once, and knows them all, so that the server can end them (shut their
// links down) and join every one of their threads before it destroys the
// logs and services they use.
//
// Each session is entered with its own duplicate of the link's socket:
// shutting that down ends the session's receives and sends at once, and the
// duplicate cannot be reused by another link while the session closes its
// own. Threads that have finished are joined by the next Start or Reap, and
// all of them by EndAll. Safe for concurrent use.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "core/server/service.h"
#include "platform/socket.h"

namespace tarvex {

class SessionTracker {
 public:
  SessionTracker() = default;
  ~SessionTracker() { EndAll(); }
  SessionTracker(const SessionTracker&) = delete;
  SessionTracker& operator=(const SessionTracker&) = delete;

  enum class Started { kStarted, kFull, kNoThread };
  // Runs the session (Prepare, then Run, then destroys it, then calls
  // `ended` when given) on a new thread, unless `limit` sessions run already,
  // its link cannot be duplicated or no thread could be made: then the
  // session is destroyed unrun and `ended` is not called.
  Started Start(std::unique_ptr<Session> session, std::size_t limit, std::function<void()> ended = {});

  std::size_t Running() const;
  // Joins the threads of sessions that have ended.
  void Reap();

  // Shuts every link down and waits until all sessions ended, shutting down
  // again at every `round`; then joins every thread.
  void EndAll(std::chrono::milliseconds round = std::chrono::milliseconds(1000));

 private:
  void Finish(std::uint64_t ticket);

  struct Entry {
    Socket link;
  };

  mutable std::mutex mutex_;
  std::condition_variable finished_;
  std::map<std::uint64_t, Entry> running_;
  std::map<std::uint64_t, std::thread> threads_;  // running or not yet joined
  std::vector<std::uint64_t> ended_;             // finished, not yet joined
  std::uint64_t next_ticket_ = 1;
};

}  // namespace tarvex
