// QueryCache: keeps the results of recent queries while the index stays as
// it was, so that a device paging through results costs one query run, not
// one a page.
//
// Run answers from a kept window of results when one covers the request
// (same text, same index state); otherwise it runs the query for exactly the
// page asked, keeps it, and fetches the next kPagesAhead pages in the
// background for the pages a device asks for next. A request whose page is
// being fetched waits for that fetch instead of running its own. The index
// state is read with each request (`index_state`); any change drops every
// kept window, and while the state is unknown (empty) nothing is kept.
// Failed queries are never kept. At most kMaxWindows windows
// are kept, the least recently used dropped first.
//
// Safe for concurrent use. The destructor waits for the fetch in progress.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "searchengine/recoll_query.h"

namespace tarvex {

class QueryCache {
 public:
  // Runs the query for results first .. first + count - 1.
  using Runner = std::function<EngineAnswer(std::string_view text, std::uint32_t first, std::uint32_t count)>;
  // A text that changes whenever the index does.
  using IndexState = std::function<std::string()>;

  static constexpr std::uint32_t kPagesAhead = 4;
  static constexpr std::size_t kMaxWindows = 64;

  QueryCache(Runner run, IndexState index_state);
  ~QueryCache();
  QueryCache(const QueryCache&) = delete;
  QueryCache& operator=(const QueryCache&) = delete;

  EngineAnswer Run(std::string_view text, std::uint32_t first, std::uint32_t count);

 private:
  // Results first .. first + hits.size() - 1 of one text, and its total.
  struct Window {
    std::string text;
    std::uint32_t first = 0;
    std::uint32_t total = 0;
    std::vector<EngineHit> hits;
  };
  struct Fetch {
    std::string text;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };

  // Under mu_: the answer for the request from a kept window, if one covers it.
  bool AnswerFromWindows(std::string_view text, std::uint32_t first, std::uint32_t count, EngineAnswer* out);
  // Under mu_: whether a queued or running fetch covers the request.
  bool Fetching(std::string_view text, std::uint32_t first, std::uint32_t count) const;
  // Under mu_: drops every window when the index changed.
  void FollowIndex(const std::string& state);
  // Keeps an answer got while the index was in `state`, unless it changed since.
  void Keep(const std::string& state, std::string_view text, std::uint32_t first, const EngineAnswer& answer);
  void FetchAhead();

  Runner run_;
  IndexState index_state_;
  std::mutex mu_;
  std::condition_variable changed_;
  std::string state_;          // the index state the windows belong to
  std::list<Window> windows_;  // most recently used first
  std::deque<Fetch> queue_;    // fetches to make, oldest first
  bool fetching_ = false;      // queue_.front() is being fetched
  bool stopping_ = false;
  std::thread fetcher_;
};

}  // namespace tarvex
