// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/server/session_activity.h"

namespace tarvex {

using SteadyClock = std::chrono::steady_clock;
using SystemClock = std::chrono::system_clock;

// One session. The fields are guarded by the registry's mutex, except `done`,
// which the session's thread stores without it.
struct ActivityReporter::Slot {
  SessionInfo info;
  std::atomic<std::uint64_t> done{0};
  SteadyClock::time_point transfer_began{};
  SteadyClock::time_point transfer_ended{};
  std::optional<SteadyClock::time_point> session_ended;
};

namespace {

bool IsTransfer(SessionDoing doing) {
  return doing == SessionDoing::kReceiving || doing == SessionDoing::kSending;
}

}  // namespace

std::string DescribeDoing(SessionDoing doing, const std::string& name) {
  switch (doing) {
    case SessionDoing::kReceiving:
      return "receiving " + name;
    case SessionDoing::kSending:
      return "sending " + name;
    case SessionDoing::kListing:
      return "listing";
    case SessionDoing::kSearching:
      return "searching";
    case SessionDoing::kIdle:
      break;
  }
  return "idle";
}

void ActivityReporter::SetUser(const std::string& user) {
  if (slot_ == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(registry_->mutex_);
    slot_->info.user = user;
  }
  registry_->Touch();
}

void ActivityReporter::Begin(SessionDoing doing, const std::string& name, std::uint64_t total) {
  if (slot_ == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(registry_->mutex_);
    slot_->info.doing = doing;
    if (IsTransfer(doing)) {
      slot_->info.name = name;
      slot_->info.total = total;
      slot_->info.transfer_ended.reset();
      slot_->done.store(0, std::memory_order_relaxed);
      slot_->transfer_began = SteadyClock::now();
    }
  }
  registry_->Touch();
}

void ActivityReporter::Progress(std::uint64_t done) {
  if (slot_ == nullptr) return;
  slot_->done.store(done, std::memory_order_relaxed);
  registry_->Touch();
}

void ActivityReporter::Finish() {
  if (slot_ == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(registry_->mutex_);
    if (IsTransfer(slot_->info.doing)) {
      slot_->transfer_ended = SteadyClock::now();
      slot_->info.transfer_ended = SystemClock::now();
    }
    slot_->info.doing = SessionDoing::kIdle;
  }
  registry_->Touch();
}

SessionActivity::SessionActivity(std::chrono::milliseconds keep_ended) : keep_ended_(keep_ended) {}

SessionActivity::~SessionActivity() = default;

ActivityReporter SessionActivity::Begin(std::int32_t session_id, const std::string& user,
                                        const std::string& address) {
  auto slot = std::make_unique<ReporterSlot>();
  slot->info.session_id = session_id;
  slot->info.user = user;
  slot->info.address = address;
  ReporterSlot* kept = slot.get();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    DropExpired(SteadyClock::now());
    sessions_[session_id] = std::move(slot);
  }
  Touch();
  return ActivityReporter(this, kept);
}

void SessionActivity::End(std::int32_t session_id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const SteadyClock::time_point now = SteadyClock::now();
    auto found = sessions_.find(session_id);
    if (found != sessions_.end() && !found->second->session_ended) {
      ReporterSlot& slot = *found->second;
      if (IsTransfer(slot.info.doing)) {
        // Cut off mid-transfer: the rate stands where it ended.
        slot.transfer_ended = now;
        slot.info.transfer_ended = SystemClock::now();
      }
      slot.info.doing = SessionDoing::kIdle;
      slot.session_ended = now;
      slot.info.ended = SystemClock::now();
    }
    DropExpired(now);
  }
  Touch();
}

void SessionActivity::DropExpired(SteadyClock::time_point now) {
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    const auto& ended = it->second->session_ended;
    if (ended && now - *ended >= keep_ended_) {
      it = sessions_.erase(it);
    } else {
      ++it;
    }
  }
}

std::vector<SessionInfo> SessionActivity::Snapshot() const {
  std::vector<SessionInfo> out;
  const SteadyClock::time_point now = SteadyClock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  out.reserve(sessions_.size());
  for (const auto& [id, slot] : sessions_) {
    if (slot->session_ended && now - *slot->session_ended >= keep_ended_) continue;
    SessionInfo info = slot->info;
    info.done = slot->done.load(std::memory_order_relaxed);
    if (!info.name.empty()) {
      const bool running = IsTransfer(info.doing);
      const SteadyClock::time_point until = running ? now : slot->transfer_ended;
      const double seconds = std::chrono::duration<double>(until - slot->transfer_began).count();
      info.rate = seconds > 0 ? static_cast<double>(info.done) / seconds : 0;
    }
    out.push_back(std::move(info));
  }
  return out;
}

std::size_t SessionActivity::RunningCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t running = 0;
  for (const auto& [id, slot] : sessions_) {
    if (!slot->session_ended) ++running;
  }
  return running;
}

}  // namespace tarvex
