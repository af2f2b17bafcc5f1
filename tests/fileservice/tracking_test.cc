// Tracked downloads: what the files list keeps, and what ListTrackedFiles
// reports about it.
#include <gtest/gtest.h>

#include <filesystem>

#include "client/file_requests.h"
#include "common/big_endian.h"
#include "support/server/file_service_fixture.h"

namespace tarvex {
namespace {

using testing::kReplyTimeout;
using testing::ReadFile;
using testing::WriteFile;
namespace fs = std::filesystem;

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
    GetFileReply reply;
    ASSERT_EQ(RequestGetFile(link, {user, track, name, dir_ + sub}, &reply,
                             [](std::string_view) { return true; }, kReplyTimeout),
              0);
    ASSERT_EQ(reply.status, 0u) << name;
  }
  // Waits until the files list holds exactly `lines`.
  bool FilesListIs(const std::string& lines) {
    return testing::WaitUntil([&] { return ReadFile(data_dir_ + "QLXFiles.txt") == lines; });
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
  std::vector<TrackedFile> files;
  ASSERT_EQ(RequestTrackedFiles(link.get(), 1, &files, kReplyTimeout), 0);
  EXPECT_EQ(files.size(), 1u);
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);

  link = Device();
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
  // A user without records: the count item 0 and nothing more.
  std::string block;
  AppendU16(block, 6);
  AppendU32(block, 9);
  ASSERT_EQ(SendHeader(link.get(), 103), 0);
  ASSERT_EQ(SendBytes(link.get(), block), 0);
  EXPECT_EQ(Receive(link.get(), 4), std::string("\0\4\0\0", 4));
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);

  // Two sessions tracking at once: each one's change is kept.
  auto first = Device();
  auto second = Device();
  Fetch(first.get(), 1, 1, "readme.txt", "docs/");
  EXPECT_TRUE(FilesListIs(Line(1, "readme.txt", "docs/") + Line(2, "readme.txt", "docs/")));
  Fetch(second.get(), 2, 1, "readme.txt", "other/");
  EXPECT_TRUE(FilesListIs(Line(1, "readme.txt", "docs/") + Line(2, "readme.txt", "other/")));
  EXPECT_EQ(EndSession(first.get(), kReplyTimeout), 0);
  EXPECT_EQ(EndSession(second.get(), kReplyTimeout), 0);
}

}  // namespace
}  // namespace tarvex
