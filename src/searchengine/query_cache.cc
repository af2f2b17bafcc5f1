#include "searchengine/query_cache.h"

#include <algorithm>

namespace tarvex {
namespace {

// Fetches queued beyond this many are dropped, oldest first: a burst of new
// queries needs no pages fetched for queries nobody reads any more.
constexpr std::size_t kMaxQueued = 8;

bool Covers(std::uint32_t first, std::size_t size, std::uint32_t total, std::uint32_t want_first,
            std::uint32_t want_count) {
  if (want_first < first) return false;
  const std::uint64_t end = std::uint64_t{first} + size;
  // A window that reaches the last result covers every page beyond it.
  return std::uint64_t{want_first} + want_count <= end || end >= total;
}

}  // namespace

QueryCache::QueryCache(Runner run, IndexState index_state)
    : run_(std::move(run)), index_state_(std::move(index_state)), fetcher_([this] { FetchAhead(); }) {}

QueryCache::~QueryCache() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  changed_.notify_all();
  fetcher_.join();
}

EngineAnswer QueryCache::Run(std::string_view text, std::uint32_t first, std::uint32_t count) {
  const std::string state = index_state_();
  if (state.empty()) return run_(text, first, count);
  {
    std::unique_lock<std::mutex> lock(mu_);
    FollowIndex(state);
    EngineAnswer kept;
    // A page being fetched is waited for; the fetch runs the query anyway.
    changed_.wait(lock, [&] { return stopping_ || !Fetching(text, first, count); });
    if (AnswerFromWindows(text, first, count, &kept)) return kept;
  }
  EngineAnswer answer = run_(text, first, count);
  if (answer.ok) {
    Keep(state, text, first, answer);
    const std::uint64_t next = std::uint64_t{first} + count;
    if (count != 0 && next < answer.total) {
      std::lock_guard<std::mutex> lock(mu_);
      if (state == state_) {
        queue_.push_back({std::string(text), static_cast<std::uint32_t>(next), count * kPagesAhead});
        if (queue_.size() > kMaxQueued + (fetching_ ? 1 : 0)) queue_.erase(queue_.begin() + (fetching_ ? 1 : 0));
      }
    }
    changed_.notify_all();
  }
  return answer;
}

void QueryCache::FollowIndex(const std::string& state) {
  if (state == state_) return;
  state_ = state;
  windows_.clear();
}

bool QueryCache::AnswerFromWindows(std::string_view text, std::uint32_t first, std::uint32_t count,
                                   EngineAnswer* out) {
  for (auto w = windows_.begin(); w != windows_.end(); ++w) {
    if (w->text != text || !Covers(w->first, w->hits.size(), w->total, first, count)) continue;
    out->ok = true;
    out->total = w->total;
    const std::size_t from = std::min<std::size_t>(first - w->first, w->hits.size());
    const std::size_t to = std::min<std::size_t>(from + count, w->hits.size());
    out->hits.assign(w->hits.begin() + static_cast<std::ptrdiff_t>(from),
                     w->hits.begin() + static_cast<std::ptrdiff_t>(to));
    windows_.splice(windows_.begin(), windows_, w);
    return true;
  }
  return false;
}

bool QueryCache::Fetching(std::string_view text, std::uint32_t first, std::uint32_t count) const {
  return std::any_of(queue_.begin(), queue_.end(), [&](const Fetch& f) {
    return f.text == text && first >= f.first && std::uint64_t{first} + count <= std::uint64_t{f.first} + f.count;
  });
}

void QueryCache::Keep(const std::string& state, std::string_view text, std::uint32_t first,
                      const EngineAnswer& answer) {
  std::lock_guard<std::mutex> lock(mu_);
  if (state != state_) return;
  windows_.push_front({std::string(text), first, answer.total, answer.hits});
  if (windows_.size() > kMaxWindows) windows_.pop_back();
}

void QueryCache::FetchAhead() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    const Fetch fetch = queue_.front();
    const std::string state = state_;
    fetching_ = true;
    lock.unlock();
    EngineAnswer answer = run_(fetch.text, fetch.first, fetch.count);
    // Kept only while the index is still the one the fetch was asked for.
    if (answer.ok && index_state_() == state) Keep(state, fetch.text, fetch.first, answer);
    lock.lock();
    fetching_ = false;
    queue_.pop_front();
    changed_.notify_all();
  }
}

}  // namespace tarvex
