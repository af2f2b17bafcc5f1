#include <gtest/gtest.h>

#include "app/search_engine_process.h"
#include "platform/user_store.h"
#include "search/desktop_search_client.h"
#include "search/search_registration.h"
#include "support/server/server_fixture.h"

namespace tarvex {
namespace {

std::string SearchUrl() { return ReadUserValue(kSearchUrlKeyPath, kSearchUrlValue).value_or(""); }

TEST(SearchEngineProcessTest, WindowRunsTheEngineWhileOpenUnlessAnotherIsInCharge) {
  testing::TempDir dir;
  std::string data_dir;
  ASSERT_TRUE(testing::EnterPrivateWorld(dir, &data_dir));
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
