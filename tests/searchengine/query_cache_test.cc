#include "searchengine/query_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace tarvex {
namespace {

// An engine of `total` numbered results for any text, counting its runs.
struct CountingEngine {
  std::uint32_t total = 45;
  std::atomic<int> runs{0};
  std::atomic<bool> fail{false};

  EngineAnswer Run(std::string_view text, std::uint32_t first, std::uint32_t count) {
    ++runs;
    EngineAnswer answer;
    answer.ok = !fail;
    answer.total = total;
    for (std::uint32_t i = first; i < first + count && i < total; ++i) {
      answer.hits.push_back({"file:///" + std::string(text) + std::to_string(i), "text/plain", "", "", "", ""});
    }
    return answer;
  }
};

std::vector<std::string> Urls(const EngineAnswer& answer) {
  std::vector<std::string> urls;
  for (const EngineHit& hit : answer.hits) urls.push_back(hit.url);
  return urls;
}

class QueryCacheTest : public ::testing::Test {
 protected:
  QueryCache::Runner Runner() {
    return [this](std::string_view text, std::uint32_t first, std::uint32_t count) {
      return engine_.Run(text, first, count);
    };
  }
  QueryCache::IndexState State() {
    return [this] {
      std::lock_guard<std::mutex> lock(mu_);
      return state_;
    };
  }
  void SetState(std::string state) {
    std::lock_guard<std::mutex> lock(mu_);
    state_ = std::move(state);
  }

  CountingEngine engine_;
  std::mutex mu_;
  std::string state_ = "index 1";
};

// Paging through one query runs it twice (the page asked, then the pages
// after it fetched at once) and every page, the short last one included,
// holds exactly what a run of its own would give. A changed index, an
// unknown index state and a failed run each make the next request run the
// engine again: no result outlives the index it came from, and no failure
// is kept.
TEST_F(QueryCacheTest, PagesComeFromOneFetchWhileTheIndexStandsAndNeverOutliveIt) {
  QueryCache cache(Runner(), State());
  CountingEngine direct;
  for (std::uint32_t first = 0; first < 45; first += 10) {
    const EngineAnswer page = cache.Run("plum", first, 10);
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(page.total, 45u);
    EXPECT_EQ(Urls(page), Urls(direct.Run("plum", first, 10))) << "page from " << first;
  }
  cache.Run("plum", 0, 10);
  EXPECT_EQ(engine_.runs, 2);

  engine_.total = 3;
  SetState("index 2");
  EXPECT_EQ(cache.Run("plum", 0, 10).total, 3u);

  SetState("");
  const int before = engine_.runs;
  cache.Run("plum", 0, 10);
  cache.Run("plum", 0, 10);
  EXPECT_EQ(engine_.runs - before, 2);

  SetState("index 3");
  engine_.fail = true;
  EXPECT_FALSE(cache.Run("fig", 0, 10).ok);
  engine_.fail = false;
  EXPECT_TRUE(cache.Run("fig", 0, 10).ok);
  EXPECT_EQ(Urls(cache.Run("pear", 0, 10)).front(), "file:///pear0") << "another text is another query";
}

}  // namespace
}  // namespace tarvex
