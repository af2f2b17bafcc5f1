#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/user_store.h"
#include "protocol/codes.h"
#include "search/desktop_search_client.h"
#include "support/http_stub.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::HttpStub;
using testing::TempDir;
using protocol::SearchStatus;

class DesktopSearchClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
    // A proxy must never see a loopback search.
    setenv("http_proxy", "http://127.0.0.1:9/", 1);
  }
  static void SetAddress(const std::string& url) {
    ASSERT_TRUE(WriteUserValue(kSearchUrlKeyPath, kSearchUrlValue, url));
  }
  SearchStatus Run(const std::string& text, std::uint32_t first = 10, std::uint32_t count = 5) {
    return client_.RunQuery(text, first, count, &page_);
  }

  TempDir dir_;
  std::string page_ = "earlier";
  DesktopSearchClient client_{std::chrono::seconds(10)};
};

TEST_F(DesktopSearchClientTest, SendsTheTextAsTypedAndGivesTheBody) {
  HttpStub engine([](const std::string&) {
    return HttpStub::Reply(200, std::string("<?xml?>\r\n<results count=\"1\">\r\nzero\0byte\n", 40));
  });
  SetAddress("http://user:pw@127.0.0.1:" + std::to_string(engine.Port()) + "/search&s=1?q=");
  ASSERT_EQ(Run("a&b c+d%20\x01\xE9"), SearchStatus::kOk) << client_.LastErrorText();
  ASSERT_EQ(engine.Requests().size(), 1u);
  const std::string head = engine.Requests()[0];
  EXPECT_EQ(HttpStub::Target(head),
            "/search&s=1?q=a&b%20c+d%20%01%E9&num=5&start=10&flags=512&format=xml");
  EXPECT_NE(head.find("\r\nAccept: */*\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nUser-Agent: VLD GDS\r\n"), std::string::npos) << head;
  EXPECT_EQ(page_, std::string("<?xml?>\n<results count=\"1\">\nzero\0byte\n", 38));
  EXPECT_EQ(client_.LastErrorNumber(), 200u);
}

TEST_F(DesktopSearchClientTest, EveryFailureLeavesThePageUntouched) {
  HttpStub engine([](const std::string& head) {
    if (HttpStub::Target(head).starts_with("/moved")) {
      return HttpStub::Reply(302, "", "Location: /search?q=x\r\n");
    }
    return HttpStub::Reply(404, "<html>gone</html>");
  });
  const std::string server = "http://127.0.0.1:" + std::to_string(engine.Port());

  SetAddress(server + "/search?q=");
  EXPECT_EQ(Run("x"), SearchStatus::kSearchFailed);
  EXPECT_EQ(client_.LastErrorText(), "HTTP Error Code: 404");
  EXPECT_EQ(client_.LastErrorNumber(), 404u);

  SetAddress(server + "/moved?q=");
  EXPECT_EQ(Run("x"), SearchStatus::kSearchFailed);
  EXPECT_EQ(engine.Requests().size(), 2u) << "the redirection is not followed";

  // Nothing listens there.
  SetAddress("http://127.0.0.1:" + std::to_string(engine.Port() == 1 ? 2 : 1) + "/?q=");
  EXPECT_EQ(Run("x"), SearchStatus::kSearchFailed);

  for (const std::string bad : {"ftp://127.0.0.1/search?q=", "http://", "http://:80/", "127.0.0.1/x",
                                "http://127.0.0.1:99999/", "http://127.0.0.1:8o/"}) {
    SetAddress(bad);
    EXPECT_EQ(Run("x"), SearchStatus::kBadSearchAddress) << bad;
    EXPECT_EQ(client_.LastErrorNumber(), 1u);
    EXPECT_EQ(client_.LastErrorText(), "Bad formed URL in GetFile");
  }

  SetAddress("");
  EXPECT_EQ(Run("x"), SearchStatus::kNoSearchAddress);
  EXPECT_EQ(page_, "earlier");
}

}  // namespace
}  // namespace tarvex
