// Downloads (GetFile) end to end: the items of a reply, the files that are
// answered as not to be sent, and the tracked files list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "client/file_requests.h"
#include "common/big_endian.h"
#include "support/server/file_service_fixture.h"
#include "support/posix_shims.h"

namespace tarvex {
namespace {

using testing::kReplyTimeout;
using testing::ReadFile;
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
    Send(link, 102, GetFileBlock(0, name, where) + name + where);
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
  ExpectInStep(link.get());
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
  auto link = Device();
  EXPECT_EQ(Get(link.get(), dir_ + "shared/", "open.txt"), "open");
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

// Tracked downloads: what the files list keeps, and what ListTrackedFiles
// reports about it.
class TrackingTest : public testing::ExchangeFixture {
 protected:
  void SetUp() override {
    ExchangeFixture::SetUp();
    for (const char* sub : {"docs/", "other/"}) {
      fs::create_directories(dir_ + sub);
      WriteFile(dir_ + sub + "readme.txt", "read me");
    }
    WriteFile(data_dir_ + "QLXUsers.txt", "\"1\",\"Ann\"\r\n\"2\",\"Bob\"\r\n");
  }
  void Fetch(Connection* link, std::uint32_t user, std::uint16_t track, const std::string& name,
             const std::string& sub) {
    EXPECT_EQ(Get(link, dir_ + sub, name, nullptr, track, user), ReadFile(dir_ + sub + name));
  }
  std::string Line(int user, const std::string& name, const std::string& sub) {
    return "\"" + std::to_string(user) + "\",\"" + name + "\",\"" + dir_ + sub + "\"\r\n";
  }
};

TEST_F(TrackingTest, ARecordPerUserAndNameIgnoringCaseAndConcurrentSessionsLoseNoChange) {
  Start();
  auto link = Device();
  Fetch(link.get(), 1, 1, "readme.txt", "docs/");
  WriteFile(dir_ + "other/README.TXT", "upper");
  Fetch(link.get(), 1, 1, "README.TXT", "other/");
  Fetch(link.get(), 2, 1, "readme.txt", "docs/");
  Fetch(link.get(), 1, 2, "readme.txt", "other/");  // flag 2 does not track
  // Each download is on disk as soon as it completed, before the session ends.
  EXPECT_EQ(ReadFile(data_dir_ + "QLXFiles.txt"), Line(1, "README.TXT", "other/") + Line(2, "readme.txt", "docs/"));
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);

  link = Device();
  std::vector<TrackedFile> files;
  ASSERT_EQ(RequestTrackedFiles(link.get(), 1, &files, kReplyTimeout), 0);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, "README.TXT");
  EXPECT_EQ(files[0].directory, dir_ + "other/");
  EXPECT_EQ(files[0].size, 5u);
  EXPECT_EQ(files[0].stamp.find_first_not_of("0123456789"), std::string::npos) << files[0].stamp;
  // A tracked file deleted on the desktop: twelve zero bytes and size 0.
  fs::remove(dir_ + "other/README.TXT");
  ASSERT_EQ(RequestTrackedFiles(link.get(), 1, &files, kReplyTimeout), 0);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].stamp, std::string(12, '\0'));
  EXPECT_EQ(files[0].size, 0u);
  // A user without records: the count 0 and nothing more.
  ASSERT_EQ(RequestTrackedFiles(link.get(), 9, &files, kReplyTimeout), 0);
  EXPECT_TRUE(files.empty());
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);

  // Sessions tracking at once keep each other's records.
  std::vector<std::thread> devices;
  for (std::uint32_t d = 0; d < 6; ++d) {
    devices.emplace_back([&, d] {
      auto device = Device();
      for (std::uint32_t u = 10 + 8 * d; u < 18 + 8 * d; ++u) Fetch(device.get(), u, 1, "readme.txt", "docs/");
      EXPECT_EQ(EndSession(device.get(), kReplyTimeout), 0);
    });
  }
  for (std::thread& device : devices) device.join();
  const std::string list = ReadFile(data_dir_ + "QLXFiles.txt");
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 2 + 6 * 8);
}

}  // namespace
}  // namespace tarvex
