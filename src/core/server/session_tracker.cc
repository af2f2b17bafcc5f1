#include "core/server/session_tracker.h"

namespace tarvex {

std::uint64_t SessionTracker::Enter(Socket link_duplicate) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::uint64_t ticket = next_ticket_++;
  running_.emplace(ticket, std::move(link_duplicate));
  return ticket;
}

void SessionTracker::Finish(std::uint64_t ticket) {
  // Notified under the lock: once EndAll sees no session, the tracker may be
  // destroyed, and a finishing thread must not touch it after unlocking.
  std::lock_guard<std::mutex> lock(mutex_);
  running_.erase(ticket);
  finished_.notify_all();
}

std::size_t SessionTracker::RunningCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_.size();
}

void SessionTracker::EndAll(std::chrono::milliseconds round) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!running_.empty()) {
    for (auto& [ticket, link] : running_) ShutdownBoth(link);
    finished_.wait_for(lock, round, [this] { return running_.empty(); });
  }
}

}  // namespace tarvex
