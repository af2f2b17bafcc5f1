#include "core/server/session_tracker.h"

namespace tarvex {

std::optional<std::uint64_t> SessionTracker::EnterLogin(Socket link_duplicate, std::size_t limit,
                                                        std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  login_ended_.wait_for(lock, wait, [&] { return !logins_open_ || pending_ < limit; });
  if (!logins_open_ || pending_ >= limit) return std::nullopt;
  const std::uint64_t ticket = next_ticket_++;
  running_.emplace(ticket, Entry{std::move(link_duplicate)});
  ++pending_;
  return ticket;
}

void SessionTracker::SessionStarted(std::uint64_t ticket) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = running_.find(ticket);
  if (found == running_.end() || !found->second.pending) return;
  found->second.pending = false;
  --pending_;
  login_ended_.notify_all();
}

void SessionTracker::Finish(std::uint64_t ticket) {
  // Notified under the lock: once EndAll sees no thread, the tracker may be
  // destroyed, and a finishing thread must not touch it after unlocking.
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = running_.find(ticket);
  if (found == running_.end()) return;
  if (found->second.pending) {
    --pending_;
    login_ended_.notify_all();
  }
  running_.erase(found);
  finished_.notify_all();
}

std::size_t SessionTracker::PendingLogins() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_;
}

void SessionTracker::EndLogins() {
  std::lock_guard<std::mutex> lock(mutex_);
  logins_open_ = false;
  login_ended_.notify_all();
  for (auto& [ticket, entry] : running_) {
    if (entry.pending) ShutdownBoth(entry.link);
  }
}

void SessionTracker::OpenLogins() {
  std::lock_guard<std::mutex> lock(mutex_);
  logins_open_ = true;
}

void SessionTracker::EndAll(std::chrono::milliseconds round) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!running_.empty()) {
    for (auto& [ticket, entry] : running_) ShutdownBoth(entry.link);
    finished_.wait_for(lock, round, [this] { return running_.empty(); });
  }
}

}  // namespace tarvex
