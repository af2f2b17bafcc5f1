// Downloads (GetFile) end to end: the items of a reply, and the files that
// are answered as not to be sent.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "client/file_requests.h"
#include "common/big_endian.h"
#include "support/server/file_service_fixture.h"

namespace tarvex {
namespace {

using testing::kReplyTimeout;
using testing::WriteFile;
namespace fs = std::filesystem;

// The request block of a download, with a marker where the size will go.
std::string GetFileBlock(std::uint16_t track, const std::string& name, const std::string& dir) {
  std::string block;
  AppendU16(block, 20);
  AppendU32(block, 7);           // user id
  AppendU32(block, 0x11111111);  // status, set by the server
  AppendU16(block, track);
  AppendU16(block, static_cast<std::uint16_t>(name.size()));
  AppendU16(block, static_cast<std::uint16_t>(dir.size()));
  AppendU32(block, 0xAABBCCDD);  // size, set by the server
  return block;
}

class DownloadTest : public testing::ExchangeFixture {
 protected:
  // Sends a download request for name in dir (default dir_).
  void Ask(Connection* link, const std::string& name, const std::string& dir = "") {
    const std::string& where = dir.empty() ? dir_ : dir;
    ASSERT_EQ(SendHeader(link, 102), 0);
    ASSERT_EQ(SendBytes(link, GetFileBlock(0, name, where) + name + where), 0);
  }
  // Asks on a new session for a file that cannot be sent: the status comes
  // back and the session ends.
  std::uint32_t RefusalStatus(const std::string& name, const std::string& dir = "") {
    auto link = Device();
    Ask(link.get(), name, dir);
    const std::string block = Receive(link.get(), 20);
    EXPECT_EQ(GetU32(block.data() + 16), 0xAABBCCDDu) << "the size field comes back as it was sent";
    ExpectSessionEnd(link.get());
    return GetU32(block.data() + 6);
  }
};

TEST_F(DownloadTest, ReplyIsTheBlockNameDirectoryAndContentInItemsOfTenThousand) {
  Start();
  std::string content(25000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 253);
  WriteFile(dir_ + "big.bin", content);
  WriteFile(dir_ + "empty.txt", "");
  auto link = Device();

  Ask(link.get(), "big.bin");
  std::vector<std::string> items = ReceiveItems(link.get(), 6);
  ASSERT_EQ(items.size(), 6u);
  std::string expected_block = GetFileBlock(0, "big.bin", dir_);
  PutU32(expected_block.data() + 6, 0);
  PutU32(expected_block.data() + 16, 25000);
  EXPECT_EQ(items[0], expected_block);
  EXPECT_EQ(items[1], "big.bin");
  EXPECT_EQ(items[2], dir_);
  EXPECT_EQ(items[3].size(), 10000u);
  EXPECT_EQ(items[4].size(), 10000u);
  EXPECT_EQ(items[5].size(), 5000u);
  EXPECT_EQ(items[3] + items[4] + items[5], content);

  // An empty file: the block with size 0, the name, the directory, no content.
  Ask(link.get(), "empty.txt");
  items = ReceiveItems(link.get(), 3);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(GetU32(items[0].data() + 16), 0u);
  EXPECT_EQ(items[1], "empty.txt");
  std::string tag;
  EXPECT_EQ(RequestServerInfo(link.get(), &tag, kReplyTimeout), 0) << "nothing else followed";
  EXPECT_EQ(tag, "<QLXServerVersion=1.20>");
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
}

TEST_F(DownloadTest, FilesThatCannotBeSentAreRefusedAtOnceAndEndTheSession) {
  Start();
  EXPECT_EQ(RefusalStatus("nothere.txt"), 1u);
  EXPECT_TRUE(WaitForServiceLog(
      "Failed to open file (nothere.txt). Could not send to device. ErrCode(2). ErrMsg(No such file or directory)"));
  // A FIFO would block an open that waits for a writer.
  ASSERT_EQ(::mkfifo((dir_ + "pipe").c_str(), 0600), 0);
  EXPECT_EQ(RefusalStatus("pipe"), 3u);
  // 4 GiB cannot be told in the 32-bit size field (a sparse file).
  WriteFile(dir_ + "huge.img", "");
  fs::resize_file(dir_ + "huge.img", std::uintmax_t{1} << 32);
  EXPECT_EQ(RefusalStatus("huge.img"), 3u);
  EXPECT_TRUE(WaitForServiceLog("Failed to open file (huge.img). Could not send to device. ErrCode(6)"));

  // In a restricted session only allowed paths are handed out, however spelt.
  fs::create_directories(dir_ + "shared");
  WriteFile(dir_ + "shared/open.txt", "open");
  WriteFile(dir_ + "secret.txt", "secret");
  WriteFile(data_dir_ + "QLXAccessCtrl.dat", dir_ + "shared/\n");
  EXPECT_EQ(RefusalStatus("secret.txt"), 3u);
  EXPECT_EQ(RefusalStatus("secret.txt", dir_ + "shared/../"), 3u);
  auto link = Device();
  GetFileReply reply;
  std::string got;
  ASSERT_EQ(RequestGetFile(link.get(), {0, 0, "open.txt", dir_ + "shared/"}, &reply,
                           [&got](std::string_view piece) { got += piece; return true; }, kReplyTimeout),
            0);
  EXPECT_EQ(got, "open");
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
}

TEST_F(DownloadTest, AFileThatShrinksWhileSentEndsTheLinkShortOfItsSize) {
  Start();
  const std::uintmax_t size = 64u << 20;
  WriteFile(dir_ + "shrinks.bin", "");
  fs::resize_file(dir_ + "shrinks.bin", size);  // sparse: reads as zeros
  auto link = Device();
  Ask(link.get(), "shrinks.bin");
  const std::string block = Receive(link.get(), 20);
  ASSERT_EQ(GetU32(block.data() + 16), size);
  // The server is held up by the full link long before it reaches the end.
  fs::resize_file(dir_ + "shrinks.bin", 0);
  std::string piece(1 << 16, '\0');
  std::uintmax_t received = 0;
  while (ReceiveBytes(link.get(), piece.data(), piece.size(), kReplyTimeout) == 0) received += piece.size();
  EXPECT_LT(received, size);
  EXPECT_TRUE(WaitForServiceLog("Failed to send file (shrinks.bin) to device: Error code - 14"));
}

}  // namespace
}  // namespace tarvex
