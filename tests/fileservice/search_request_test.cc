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
  ASSERT_EQ(SendHeader(c, 105), 0);
  ASSERT_EQ(SendBytes(c, Block("two words")), 0);

  // Length 24, status 0, the request's tag, the engine's total 57, three
  // results, the first index 2.
  EXPECT_EQ(Receive(c, 24), std::string("\0\x18\0\0\0\0\1\2\3\4\5\6\0\0\0\x39\0\0\0\3\0\0\0\2", 24));

  const FileStamp stamp = GetFileStamp("a & b.txt", docs);
  ASSERT_EQ(stamp.stamp.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(Receive(c, 2), std::string("\0\1", 2));
  EXPECT_EQ(Receive(c, 12), stamp.stamp);
  EXPECT_EQ(Receive(c, 4), std::string("\0\0\0\5", 4));
  EXPECT_EQ(Receive(c, 2 + 9), Text("a & b.txt"));
  EXPECT_EQ(Receive(c, 2 + docs.size()), Text(docs));
  EXPECT_EQ(Receive(c, 2 + 9), Text("s &amp; t"));

  EXPECT_EQ(Receive(c, 2), std::string("\0\2", 2));
  EXPECT_EQ(Receive(c, 16), std::string(16, '\0')) << "no file: zero stamp and size";
  EXPECT_EQ(Receive(c, 2 + 4), Text("page"));
  EXPECT_EQ(Receive(c, 2 + 19), Text("http://example.com/"));
  EXPECT_EQ(Receive(c, 2), Text(""));

  EXPECT_EQ(Receive(c, 2), std::string("\0\0", 2)) << "category text is compared exactly";
  Receive(c, 16);
  EXPECT_EQ(Receive(c, 2 + 8), Text("file.txt"));
  EXPECT_EQ(Receive(c, 2 + 9), Text("/no/such/"));
  // In the device's code page, cut to 32767 bytes.
  EXPECT_TRUE(Receive(c, 2 + 32767) == Text(std::string(32767, '\xE9')));

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
  ASSERT_EQ(SendHeader(c, 105), 0);
  ASSERT_EQ(SendBytes(c, Block(std::string(100, 'k'))), 0);
  EXPECT_EQ(GetU32(Receive(c, 24).data() + 2), 1003u);
  ASSERT_EQ(engine.Requests().size(), 1u);
  EXPECT_EQ(HttpStub::Target(engine.Requests()[0]),
            "/s?q=" + std::string(99, 'k') + "&num=3&start=2&flags=512&format=xml");
  std::string tag;
  EXPECT_EQ(RequestServerInfo(c, &tag, kReplyTimeout), 0) << "the session goes on";
  auto newest = server_->GetService(0)->GetServiceLog()->GetRecord(0);
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->GetField(2), "Desktop search failed (1003): HTTP Error Code: 404");
}

}  // namespace
}  // namespace tarvex
