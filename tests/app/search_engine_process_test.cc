#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/search_engine_process.h"
#include "platform/user_store.h"
#include "search/desktop_search_client.h"
#include "searchengine/search_registration.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace tarvex {
namespace {

class SearchEngineProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"config", "share", "run", "home"}) std::filesystem::create_directories(dir_.File(d));
    setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
    setenv("XDG_DATA_HOME", dir_.File("share").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir_.File("run").c_str(), 1);
    setenv("HOME", dir_.File("home").c_str(), 1);
  }
  static std::string SearchUrl() { return ReadUserValue(kSearchUrlKeyPath, kSearchUrlValue).value_or(""); }

  testing::TempDir dir_;
};

TEST_F(SearchEngineProcessTest, WindowRunsTheEngineWhileOpenUnlessAnotherIsInCharge) {
  std::string address;
  {
    SearchEngineProcess engine(TARVEX_SEARCH_PATH);
    ASSERT_TRUE(engine.Started());
    ASSERT_TRUE(testing::WaitUntil([] { return !SearchUrl().empty(); }));
    address = SearchUrl();
    EXPECT_TRUE(IsOwnSearchAddress(address));
  }
  EXPECT_EQ(SearchUrl(), "") << "the stopped engine withdrew its address";

  // Its own stale address (an engine that died) does not keep it from starting.
  ASSERT_TRUE(WriteUserValue(kSearchUrlKeyPath, kSearchUrlValue, address));
  EXPECT_TRUE(SearchEngineProcess(TARVEX_SEARCH_PATH).Started());

  // Another search engine is left in charge.
  const std::string other = "http://127.0.0.1:4664/search&s=abc?q=";
  ASSERT_TRUE(WriteUserValue(kSearchUrlKeyPath, kSearchUrlValue, other));
  EXPECT_FALSE(SearchEngineProcess(TARVEX_SEARCH_PATH).Started());
  EXPECT_EQ(SearchUrl(), other);
}

}  // namespace
}  // namespace tarvex
