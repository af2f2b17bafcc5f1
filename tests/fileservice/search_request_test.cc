#include <gtest/gtest.h>

#include <filesystem>

#include "client/file_requests.h"
#include "common/big_endian.h"
#include "fileservice/file_stamp.h"
#include "platform/user_store.h"
#include "search/desktop_search_client.h"
#include "support/http_stub.h"
#include "support/server/file_service_fixture.h"

namespace tarvex {
namespace {

using testing::HttpStub;
using testing::kReplyTimeout;
using testing::WriteFile;

std::string Result(const std::string& category, const std::string& url, const std::string& snippet) {
  return "<result>\n<category>" + category + "</category>\n<url>" + url + "</url>\n<snippet>" + snippet +
         "</snippet>\n</result>\n";
}

std::string Text(std::string_view text) {
  std::string item;
  AppendU16(item, static_cast<std::uint16_t>(text.size()));
  return item + std::string(text);
}

class SearchRequestTest : public testing::FileServiceFixture {
 protected:
  void SetUp() override {
    FileServiceFixture::SetUp();
    std::filesystem::create_directories(root_.File("docs"));
    Start();
  }
  static void UseEngine(const HttpStub& engine) {
    ASSERT_TRUE(WriteUserValue(kSearchUrlKeyPath, kSearchUrlValue,
                               "http://127.0.0.1:" + std::to_string(engine.Port()) + "/s?q="));
  }
  static std::string Block(const std::string& text_field, std::uint32_t count = 3, std::uint32_t first = 2) {
    std::string block;
    AppendU16(block, 116);
    AppendU32(block, 0x01020304);
    AppendU16(block, 0x0506);
    AppendU32(block, count);
    AppendU32(block, first);
    return block + text_field + std::string(100 - text_field.size(), '\0');
  }
  // The next result item: its category, stamp and size, then its three texts.
  void ExpectItem(Connection* c, std::uint16_t category, const std::string& stamp_and_size,
                  const std::vector<std::string>& texts) {
    EXPECT_EQ(Receive(c, 18), BigEndian16(category) + stamp_and_size);
    for (const std::string& text : texts) EXPECT_TRUE(Receive(c, 2 + text.size()) == Text(text)) << text.size();
  }
};

TEST_F(SearchRequestTest, ReplyCarriesEachResultWithItsFilesStampAndSize) {
  const std::string docs = root_.File("docs") + "/";
  WriteFile(docs + "a & b.txt", "hello");
  // A snippet of 40000 characters, over lines short enough for the scanner.
  std::string line;
  for (int i = 0; i < 2500; ++i) line += "\xC3\xA9";
  std::string long_snippet_lines;
  for (int i = 0; i < 16; ++i) long_snippet_lines += line + "\n";
  HttpStub engine([&](const std::string&) {
    return HttpStub::Reply(200, "<?xml?>\n<results count=\"57\">\n" +
                                    Result("file", docs + "a &amp; b.txt", "s &amp; t") +
                                    Result("web", "http://example.com/page", "") +
                                    Result("File", "/no/such/file.txt", long_snippet_lines));
  });
  UseEngine(engine);
  auto link = Device();
  Connection* c = link.get();
  Send(c, 105, Block("two words"));

  // Length 24, status 0, the request's tag, the engine's total 57, three
  // results, the first index 2.
  EXPECT_EQ(Receive(c, 24), std::string("\0\x18\0\0\0\0\1\2\3\4\5\6\0\0\0\x39\0\0\0\3\0\0\0\2", 24));

  ExpectItem(c, 1, GetFileStamp("a & b.txt", docs).stamp + BigEndian32(5), {"a & b.txt", docs, "s &amp; t"});
  // No file: zero stamp and size.
  ExpectItem(c, 2, std::string(16, '\0'), {"page", "http://example.com/", ""});
  // The category text is compared exactly; the snippet is in the device's
  // code page, cut to 32767 bytes.
  ExpectItem(c, 0, std::string(16, '\0'), {"file.txt", "/no/such/", std::string(32767, '\xE9')});

  ASSERT_EQ(engine.Requests().size(), 1u);
  EXPECT_EQ(HttpStub::Target(engine.Requests()[0]), "/s?q=two%20words&num=3&start=2&flags=512&format=xml");
  EXPECT_EQ(EndSession(c, kReplyTimeout), 0);
}

TEST_F(SearchRequestTest, AFailedSearchAnswersTheHeaderAloneAndTheSessionGoesOn) {
  auto link = Device();
  Connection* c = link.get();
  // An engine that fails; a text field without its zero is cut at 99 characters.
  HttpStub engine([](const std::string&) { return HttpStub::Reply(404, "no"); });
  UseEngine(engine);
  Send(c, 105, Block(std::string(100, 'k')));
  EXPECT_EQ(GetU32(Receive(c, 24).data() + 2), 1003u);
  ASSERT_EQ(engine.Requests().size(), 1u);
  EXPECT_EQ(HttpStub::Target(engine.Requests()[0]),
            "/s?q=" + std::string(99, 'k') + "&num=3&start=2&flags=512&format=xml");
  ExpectInStep(c);
  auto newest = server_->GetService(0)->GetServiceLog()->GetRecord(0);
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->GetField(2), "Desktop search failed (1003): HTTP Error Code: 404");
}

}  // namespace
}  // namespace tarvex
