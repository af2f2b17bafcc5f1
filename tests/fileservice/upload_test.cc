// Uploads (PutFile) end to end: what is stored, what an upload that fails
// leaves behind, and that the stream stays in step for the next request.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "client/file_requests.h"
#include "protocol/layouts.h"
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

class UploadTest : public testing::ExchangeFixture {
 protected:
  // Names in the directory that begin with "." (temporary files).
  std::vector<std::string> HiddenNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      if (entry.path().filename().string()[0] == '.') names.push_back(entry.path().filename().string());
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
  const fs::perms mode = fs::status(dir_ + "report.doc").permissions();  // as far as the system keeps modes
  EXPECT_EQ(Put(link.get(), dir_, "report.doc", "new"), 0);
  EXPECT_EQ(ReadFile(dir_ + "report.doc"), "new");
  EXPECT_EQ(fs::status(dir_ + "report.doc").permissions(), mode);

  // A directory that does not exist: bad path.
  EXPECT_EQ(Put(link.get(), dir_ + "missing/", "a.txt", Content(12000)), 3);
  ExpectInStep(link.get());
  // A disk that fills while the content is written: disk full, the old file
  // stays and no temporary file is left.
  WriteFile(dir_ + "keep.txt", "old");
  calls.FailAt(FaultySaveCalls::Step::kWrite, testing::kDiskFull);
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

TEST_F(UploadTest, ACutOrSilentUploadLeavesTheOldFileIntactAndNoTemporaryFile) {
  Start(10);  // the server gives up on a silent device after a second
  WriteFile(dir_ + "only-copy.txt", "precious");
  const PutFileRequest request{0, "only-copy.txt", dir_, 200000};
  for (bool silent : {false, true}) {
    auto link = Device();
    std::int32_t status = -1;
    std::size_t sent = 0;  // half of the content leaves, then the device's source fails
    auto half = [&](char* out, std::size_t n) -> long {
      if (sent >= 100000) return -1;
      std::fill_n(out, n, 'x');
      sent += n;
      return static_cast<long>(n);
    };
    EXPECT_EQ(RequestPutFile(link.get(), request, half, &status, kReplyTimeout), kDeviceSideFailure);
    if (silent) {
      // The link stays open: the server gives up, answers with an error and ends.
      EXPECT_NE(Receive(link.get(), protocol::put_file::kReplyLength).substr(2), std::string(4, '\0'));
      EXPECT_EQ(AwaitSessionOver(link.get(), kReplyTimeout), 0);
    } else {
      CloseConnection(link.get());
      ASSERT_TRUE(WaitForServiceLog("Failed to receive only-copy.txt from device"));
    }
    EXPECT_EQ(ReadFile(dir_ + "only-copy.txt"), "precious");
    EXPECT_TRUE(HiddenNames().empty());
    EXPECT_TRUE(testing::WaitUntil([&] { return server_->RunningSessions() == 0; })) << "the session lives on";
  }
}

}  // namespace
}  // namespace tarvex
