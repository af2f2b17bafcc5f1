// Uploads (PutFile) end to end: what is stored, what an upload that fails
// leaves behind, and that the stream stays in step for the next request.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "client/file_requests.h"
#include "support/faulty_save_calls.h"
#include "support/server/file_service_fixture.h"

namespace tarvex {
namespace {

using testing::FaultySaveCalls;
using testing::kReplyTimeout;
using testing::ReadFile;
using testing::WriteFile;
namespace fs = std::filesystem;

std::string Content(std::size_t n) {
  std::string content(n, '\0');
  for (std::size_t i = 0; i < n; ++i) content[i] = static_cast<char>(i * 7 + i / 251);
  return content;
}

// A source that hands out `content`, then fails once `fail_after` bytes are out.
ContentSource From(const std::string& content, std::size_t fail_after = SIZE_MAX) {
  auto offset = std::make_shared<std::size_t>(0);
  return [&content, offset, fail_after](char* out, std::size_t n) -> long {
    if (*offset >= fail_after) return -1;
    n = std::min(n, content.size() - *offset);
    std::memcpy(out, content.data() + *offset, n);
    *offset += n;
    return static_cast<long>(n);
  };
}

class UploadTest : public testing::ExchangeFixture {
 protected:
  // The reply status of an upload of `content` as dir + name.
  std::int32_t Put(Connection* link, const std::string& dir, const std::string& name,
                   const std::string& content) {
    std::int32_t status = -1;
    PutFileRequest request{0, name, dir, static_cast<std::uint32_t>(content.size())};
    EXPECT_EQ(RequestPutFile(link, request, From(content), &status, kReplyTimeout), 0);
    return status;
  }
  // The request after an upload is read correctly.
  void ExpectInStep(Connection* link) {
    std::string tag;
    EXPECT_EQ(RequestServerInfo(link, &tag, kReplyTimeout), 0);
    EXPECT_EQ(tag, "<QLXServerVersion=1.20>");
  }
  // Names in the directory that begin with "." (temporary files).
  std::vector<std::string> HiddenNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      if (entry.path().filename().string()[0] == '.') names.push_back(entry.path().filename());
    }
    return names;
  }
};

TEST_F(UploadTest, ContentIsStoredWholeAndRefusedUploadsAreDrainedAndAnsweredWithTheirCause) {
  FaultySaveCalls calls;
  Start(50, &calls);
  auto link = Device();
  for (std::size_t size : {0, 5000, 12000}) {
    const std::string name = "file" + std::to_string(size) + ".bin";
    EXPECT_EQ(Put(link.get(), dir_, name, Content(size)), 0) << size;
    EXPECT_EQ(ReadFile(dir_ + name), Content(size)) << size;
  }
  WriteFile(dir_ + "report.doc", "the old report, longer than the new one");
  fs::permissions(dir_ + "report.doc", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Put(link.get(), dir_, "report.doc", "new"), 0);
  EXPECT_EQ(ReadFile(dir_ + "report.doc"), "new");
  EXPECT_EQ(fs::status(dir_ + "report.doc").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(HiddenNames().empty());
  EXPECT_TRUE(WaitForServiceLog("File report.doc successfully received from device"));

  // A directory that does not exist: bad path.
  EXPECT_EQ(Put(link.get(), dir_ + "missing/", "a.txt", Content(12000)), 3);
  ExpectInStep(link.get());
  // A disk that fills while the content is written: disk full, the old file
  // stays and no temporary file is left.
  WriteFile(dir_ + "keep.txt", "old");
  calls.FailAt(FaultySaveCalls::Step::kWrite, ENOSPC);
  EXPECT_EQ(Put(link.get(), dir_, "keep.txt", Content(12000)), 13);
  EXPECT_EQ(ReadFile(dir_ + "keep.txt"), "old");
  EXPECT_TRUE(HiddenNames().empty());
  ExpectInStep(link.get());
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);

  // A restricted session stores nothing but reads the content to its end.
  WriteFile(data_dir_ + "QLXAccessCtrl.dat", dir_ + "\n");
  calls.FailAt(FaultySaveCalls::Step::kNone);
  auto restricted = Device();
  EXPECT_EQ(Put(restricted.get(), dir_, "b.txt", Content(12000)), 115);
  EXPECT_FALSE(fs::exists(dir_ + "b.txt"));
  ExpectInStep(restricted.get());
  EXPECT_TRUE(WaitForServiceLog("Failed to receive b.txt from device: Error code - 115"));
  EXPECT_EQ(EndSession(restricted.get(), kReplyTimeout), 0);
}

TEST_F(UploadTest, ACutUploadLeavesTheOldFileIntactAndNoTemporaryFile) {
  Start();
  WriteFile(dir_ + "only-copy.txt", "precious");
  auto link = Device();
  const std::string content = Content(200000);
  PutFileRequest request{0, "only-copy.txt", dir_, static_cast<std::uint32_t>(content.size())};
  std::int32_t status = -1;
  // Part of the content leaves, then the device's source fails and the link is cut.
  EXPECT_EQ(RequestPutFile(link.get(), request, From(content, 100000), &status, kReplyTimeout),
            kDeviceSideFailure);
  CloseConnection(link.get());
  ASSERT_TRUE(WaitForServiceLog("Failed to receive only-copy.txt from device"));
  EXPECT_EQ(ReadFile(dir_ + "only-copy.txt"), "precious");
  EXPECT_TRUE(HiddenNames().empty());
}

}  // namespace
}  // namespace tarvex
