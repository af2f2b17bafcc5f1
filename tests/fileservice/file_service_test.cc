#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

#include "client/file_requests.h"
#include "common/big_endian.h"
#include "fileservice/file_service.h"
#include "core/settings/root_dir.h"
#include "log/server_log.h"
#include "platform/path.h"
#include "support/server/file_service_fixture.h"
#include "support/user_world.h"

namespace tarvex {
namespace {

using testing::kLogin;
using testing::kReplyTimeout;
using testing::ReadFile;
using testing::WriteFile;

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

class FileServiceTest : public testing::FileServiceFixture {
 protected:
  std::string AddUserBlock(const std::string& name) {
    std::string block;
    AppendU16(block, 102);
    std::string field(100, '\0');
    std::copy(name.begin(), name.end(), field.begin());
    return block + field;
  }
};

TEST_F(FileServiceTest, ServerInfoAndUserRequestsAnswerExactBytes) {
  Start();
  auto link = Device();
  Connection* c = link.get();

  ASSERT_EQ(SendHeader(c, 111), 0);
  EXPECT_EQ(Receive(c, 4), Bytes({0, 4, 0, 0x17}));
  EXPECT_EQ(Receive(c, 23), "<QLXServerVersion=1.20>");

  // No users file yet: a count of 0.
  ASSERT_EQ(SendHeader(c, 104), 0);
  EXPECT_EQ(Receive(c, 4), Bytes({0, 4, 0, 0}));

  WriteFile(data_dir_ + "QLXUsers.txt", "\"1\",\"Ann\"\r\n\"2\",\"Bob\"\r\n\"7\",\"Cy\"\r\n");
  Send(c, 107, AddUserBlock("Dee"));
  EXPECT_EQ(Receive(c, 10), Bytes({0, 0, 0, 0, 0, 8, 0, 0, 0, 0}));
  Send(c, 107, AddUserBlock("aNN"));
  EXPECT_EQ(Receive(c, 10), Bytes({0, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(ReadFile(data_dir_ + "QLXUsers.txt"),
            "\"1\",\"Ann\"\r\n\"2\",\"Bob\"\r\n\"7\",\"Cy\"\r\n\"8\",\"Dee\"\r\n");

  ASSERT_EQ(SendHeader(c, 104), 0);
  EXPECT_EQ(Receive(c, 4), Bytes({0, 4, 0, 4}));
  EXPECT_EQ(Receive(c, 4), Bytes({0, 0, 0, 1}));
  EXPECT_EQ(Receive(c, 50), "Ann" + std::string(47, '\0'));
}

TEST_F(FileServiceTest, UserRequestsNeverLoseALineOfTheUsersFileNorLeaveTheRoot) {
  Start();
  auto link = Device();
  ActivityLog* log = server_->GetService(0)->GetServiceLog();
  AddUserReply reply;
  ASSERT_EQ(RequestAddUser(link.get(), "Ann", "note", &reply, kReplyTimeout), 0);
  EXPECT_EQ(reply.id, 1u);
  for (const std::string bad : {"", ".", "..", "a/b", "a\\b", "say\"hi", "line\nbreak"}) {
    ASSERT_EQ(RequestAddUser(link.get(), bad, "", &reply, kReplyTimeout), 0);
    EXPECT_EQ(reply.id, 0u) << bad;
  }
  EXPECT_EQ(ReadFile(data_dir_ + "QLXUsers.txt"), "\"1\",\"Ann\"\r\n");
  EXPECT_EQ(log->GetRecord(0)->GetField(1), "Error");
  EXPECT_NE(log->GetRecord(0)->GetField(2).find("line?break"), std::string::npos);

  // Ann's directory is made with its parents and its path answered.
  std::string block;
  AppendU16(block, 8);
  AppendU32(block, 1);
  AppendU16(block, 0xFFFF);
  Send(link.get(), 110, block);
  const std::string expected_path = WithTrailingSeparator(JoinPath(root_dir_, "Ann"));
  EXPECT_EQ(GetU16(Receive(link.get(), 8).data() + 6), expected_path.size());
  EXPECT_EQ(Receive(link.get(), expected_path.size()), expected_path);
  EXPECT_TRUE(std::filesystem::is_directory(expected_path));
  // An unknown id: the block comes back with length 0 and nothing more.
  block[5] = 99;
  Send(link.get(), 110, block);
  EXPECT_EQ(Receive(link.get(), 8).substr(6), Bytes({0, 0}));

  // A file at or beyond the record limit is answered with id 0 and never cut.
  std::string full;
  for (int id = 1; id <= 40000; ++id) full += "\"" + std::to_string(id) + "\",\"n" + std::to_string(id) + "\"\r\n";
  WriteFile(data_dir_ + "QLXUsers.txt", full);
  ASSERT_EQ(RequestAddUser(link.get(), "Gus", "", &reply, kReplyTimeout), 0);
  EXPECT_EQ(reply.id, 0u);
  EXPECT_EQ(ReadFile(data_dir_ + "QLXUsers.txt"), full);
  EXPECT_EQ(log->GetRecord(0)->GetField(1), "Error");

  // A hand-written name that would lead out of the root gets no directory.
  WriteFile(data_dir_ + "QLXUsers.txt", "\"1\",\"Ann\"\r\n\"900\",\"../../x\"\r\n");
  std::optional<std::string> path = "x";
  ASSERT_EQ(RequestUserDirectory(link.get(), 900, &path, kReplyTimeout), 0);
  EXPECT_FALSE(path);
  EXPECT_FALSE(std::filesystem::exists(root_.File("x")));
  EXPECT_NE(log->GetRecord(0)->GetField(2).find("../../x"), std::string::npos);
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);

  // Without a root directory there is no path either.
  ASSERT_TRUE(WriteRootDir(""));
  link = Device();
  path = "x";
  ASSERT_EQ(RequestUserDirectory(link.get(), 1, &path, kReplyTimeout), 0);
  EXPECT_FALSE(path);
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
}

TEST_F(FileServiceTest, UnknownCodesAndBlocksShortOfTheirFieldsEndTheSessionUnanswered) {
  Start();
  // 106, which no request uses, and codes out of range.
  for (std::uint16_t code : {106, 1, 112, 500}) {
    auto link = Device();
    ASSERT_EQ(SendHeader(link.get(), code), 0);
    ExpectSessionEnd(link.get());
  }
  for (std::uint16_t code : {101, 102, 103, 105, 107, 108, 109, 110}) {
    SCOPED_TRACE(code);
    auto link = Device();
    Send(link.get(), code, Bytes({0, 4, 0, 0}));
    ExpectSessionEnd(link.get());
  }
  // A name, then a path, without its terminating zero.
  for (auto [code, length] : {std::pair<std::uint16_t, std::uint16_t>{107, 102}, {108, 263}}) {
    auto link = Device();
    std::string block(length, 'x');
    PutU16(block.data(), length);
    Send(link.get(), code, block);
    ExpectSessionEnd(link.get());
  }
  EXPECT_FALSE(std::filesystem::exists(data_dir_ + "QLXUsers.txt"));
}

TEST_F(FileServiceTest, SessionsAreLoggedAndEndOnSilenceOrWhenTheDeviceStopsReading) {
  Start(10);  // receives, and so sends, give up after one second
  auto link = Device();
  // A request block may come in its header's frame.
  std::string header;
  AppendU16(header, 4);
  AppendU16(header, 107);
  ASSERT_EQ(SendBytes(link.get(), header + AddUserBlock("Eve")), 0);
  EXPECT_EQ(Receive(link.get(), 10), Bytes({0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
  ASSERT_TRUE(WaitForServerLog("End Session - SessionID [1]"));
  auto newest = server_->Log().GetRecord(0);
  EXPECT_EQ(newest->GetField(1), "QLX");
  EXPECT_EQ(newest->GetField(2), kLogin);
  EXPECT_EQ(newest->GetField(3), "2");
  const std::vector<std::string> expected = {
      "Server Started", "Begin Session Successful - SessionID [1] from 127.0.0.1", "End Session - SessionID [1]"};
  EXPECT_EQ(ServerLogDescriptions(), expected);

  link = Device();  // silent after its login
  EXPECT_TRUE(WaitForServerLog("End Session - SessionID [2]", std::chrono::seconds(5)));
  ExpectSessionEnd(link.get());

  // A device that keeps asking and never reads: the session's receives are
  // always served, so only its sends can notice the device is gone.
  link = Device();
  std::string requests;
  for (int i = 0; i < 1000; ++i) requests += Bytes({0, 4, 0, protocol::request::kGetServerInfo});
  std::thread asker([&] {
    while (SendBytes(link.get(), requests) == 0) {
    }
  });
  // Filling both sides' buffers (megabytes, where the system tunes them)
  // with small answers takes a while on a loaded machine.
  EXPECT_TRUE(WaitForServerLog("End Session - SessionID [3]", std::chrono::seconds(30)));
  asker.join();  // the server closed the link under the device's send
  newest = server_->GetService(0)->GetServiceLog()->GetRecord(0);
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->GetField(2), "Failed to send response for server info: Error code - 12");
}

TEST_F(FileServiceTest, SessionsAddingUsersAtOnceGetUniqueIds) {
  Start();
  std::vector<std::thread> devices;
  std::vector<std::vector<std::uint32_t>> ids(6);
  for (int d = 0; d < 6; ++d) {
    devices.emplace_back([&, d] {
      auto link = Device();
      AddUserReply reply;
      for (int u = 0; u < 8; ++u) {
        const std::string name = "user" + std::to_string(d) + "_" + std::to_string(u);
        if (RequestAddUser(link.get(), name, "", &reply, kReplyTimeout) == 0) ids[d].push_back(reply.id);
      }
      EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
    });
  }
  for (auto& t : devices) t.join();
  std::set<std::uint32_t> unique;
  for (const auto& list : ids) unique.insert(list.begin(), list.end());
  EXPECT_EQ(unique.size(), 48u);
}

TEST(FileServiceUnitTest, ReadinessWritesTheDefaultRootDirectory) {
  testing::TempDir dir;
  ASSERT_TRUE(testing::EnterUserWorld(dir.Path()));
  FileServiceOptions options;
  options.log_file = dir.File("QLXLog.txt");
  FileService service(options);
  EXPECT_FALSE(ReadRootDir());
  EXPECT_TRUE(service.IsReady());
  EXPECT_EQ(ReadRootDir(), JoinPath(dir.Path(), "Quillet Exchange"));
}

}  // namespace
}  // namespace tarvex
