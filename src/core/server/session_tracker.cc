#include "core/server/session_tracker.h"

#include <system_error>

namespace tarvex {

SessionTracker::Started SessionTracker::Start(std::unique_ptr<Session> session, std::size_t limit,
                                               std::function<void()> ended) {
  Reap();
  std::lock_guard<std::mutex> lock(mutex_);
  if (running_.size() >= limit) return Started::kFull;
  Socket duplicate;
  if (session->connection && session->connection->Holder()) {
    duplicate = DuplicateSocket(session->connection->Holder()->socket);
  }
  if (!duplicate.IsValid()) return Started::kNoThread;
  const std::uint64_t ticket = next_ticket_++;
  running_.emplace(ticket, Entry{std::move(duplicate)});
  try {
    // The thread touches the tracker only under its lock, which is held here
    // until the thread is entered below.
    threads_.emplace(ticket, std::thread([this, ticket, owned = std::move(session), ended]() mutable {
                       owned->Prepare();
                       owned->Run();
                       owned.reset();
                       if (ended) ended();
                       Finish(ticket);
                     }));
  } catch (const std::system_error&) {
    running_.erase(ticket);
    return Started::kNoThread;
  }
  return Started::kStarted;
}

void SessionTracker::Finish(std::uint64_t ticket) {
  std::lock_guard<std::mutex> lock(mutex_);
  running_.erase(ticket);
  ended_.push_back(ticket);
  finished_.notify_all();
}

std::size_t SessionTracker::Running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_.size();
}

void SessionTracker::Reap() {
  std::vector<std::thread> done;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::uint64_t ticket : ended_) {
      auto found = threads_.find(ticket);
      if (found == threads_.end()) continue;
      done.push_back(std::move(found->second));
      threads_.erase(found);
    }
    ended_.clear();
  }
  // Each has left the tracker; joining waits at most for its return.
  for (std::thread& thread : done) thread.join();
}

void SessionTracker::EndAll(std::chrono::milliseconds round) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!running_.empty()) {
      for (auto& [ticket, entry] : running_) ShutdownBoth(entry.link);
      finished_.wait_for(lock, round, [this] { return running_.empty(); });
    }
  }
  Reap();
}

}  // namespace tarvex
