// SessionTracker: knows the session threads that are running, so that the
// server can end them (shut their links down) and wait for them before it
// destroys the logs and services they use.
//
// Each running session is entered with its own duplicate of the link's
// socket: shutting that down ends the session's receives at once, and the
// duplicate cannot be reused by another link while the session closes its own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/socket.h"

namespace tarvex {

class SessionTracker {
 public:
  // Enters a session; the returned ticket is given back to Finish.
  std::uint64_t Enter(Socket link_duplicate);
  void Finish(std::uint64_t ticket);

  std::size_t RunningCount() const;

  // Shuts every running link down and waits until all sessions finished,
  // shutting down again at every `round`. Returns when none runs.
  void EndAll(std::chrono::milliseconds round = std::chrono::milliseconds(1000));

 private:
  mutable std::mutex mutex_;
  std::condition_variable finished_;
  std::map<std::uint64_t, Socket> running_;
  std::uint64_t next_ticket_ = 1;
};

}  // namespace tarvex
