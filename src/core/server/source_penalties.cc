#include "core/server/source_penalties.h"

#include <algorithm>

namespace tarvex {

const SourcePenalties::Entry* SourcePenalties::Find(const std::string& source, Time now) const {
  auto found = entries_.find(source);
  if (found == entries_.end() || found->second.forget_at <= now) return nullptr;
  return &found->second;
}

SourcePenalties::Entry* SourcePenalties::Find(const std::string& source, Time now) {
  auto found = entries_.find(source);
  if (found == entries_.end()) return nullptr;
  if (found->second.forget_at <= now) {
    Erase(source);
    return nullptr;
  }
  return &found->second;
}

bool SourcePenalties::IsPenalised(const std::string& source, Time now) const {
  const Entry* entry = Find(source, now);
  return entry != nullptr && entry->penalty_end > now;
}

int SourcePenalties::Failures(const std::string& source, Time now) const {
  const Entry* entry = Find(source, now);
  return entry == nullptr ? 0 : entry->failures;
}

std::chrono::milliseconds SourcePenalties::PenaltyLength(const std::string& source, Time now) const {
  const Entry* entry = Find(source, now);
  if (entry == nullptr || entry->penalty_end <= now) return std::chrono::milliseconds(0);
  return entry->penalty_length;
}

SourcePenalties::Counted SourcePenalties::Fail(const std::string& source, std::optional<std::uint64_t> digest,
                                               Time now) {
  Entry* entry = Find(source, now);
  if (entry == nullptr) {
    MakeRoom(now);
    entry = &entries_[source];
  } else if (digest && entry->last_digest == digest) {
    return Counted::kRepeat;
  }
  if (digest) entry->last_digest = digest;
  ++entry->failures;
  Counted counted = Counted::kCounted;
  if (entry->failures >= rules_.failures_allowed) {
    // 10 s at the fifth failure, doubling with each further one.
    const int doublings = std::min(entry->failures - rules_.failures_allowed, 30);
    auto length = rules_.first;
    for (int i = 0; i < doublings && length < rules_.longest; ++i) length *= 2;
    entry->penalty_length = std::min(length, rules_.longest);
    entry->penalty_end = now + entry->penalty_length;
    entry->refusal_logged = false;
    counted = Counted::kPenaltyStarted;
  }
  Reindex(source, entry, std::max(entry->penalty_end, now) + rules_.longest);
  return counted;
}

void SourcePenalties::Succeed(const std::string& source) { Erase(source); }

bool SourcePenalties::FirstRefusal(const std::string& source, Time now) {
  Entry* entry = Find(source, now);
  if (entry == nullptr || entry->penalty_end <= now || entry->refusal_logged) return false;
  entry->refusal_logged = true;
  return true;
}

void SourcePenalties::Reindex(const std::string& source, Entry* entry, Time forget_at) {
  by_forget_.erase({entry->forget_at, source});
  entry->forget_at = forget_at;
  by_forget_.emplace(forget_at, source);
}

void SourcePenalties::Erase(const std::string& source) {
  auto found = entries_.find(source);
  if (found == entries_.end()) return;
  by_forget_.erase({found->second.forget_at, source});
  entries_.erase(found);
}

void SourcePenalties::MakeRoom(Time now) {
  // Forget what has expired, then, while still full, what expires first.
  while (!by_forget_.empty() && (by_forget_.begin()->first <= now || entries_.size() >= rules_.capacity)) {
    const std::string source = by_forget_.begin()->second;
    Erase(source);
  }
}

}  // namespace tarvex
