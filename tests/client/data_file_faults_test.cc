#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "client/device_link.h"
#include "client/file_requests.h"
#include "platform/spawned_process.h"
#include "protocol/codes.h"
#include "support/program_env.h"
#include "support/server/server_fixture.h"
#include "support/wait_until.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

constexpr int kTimeout = 100;  // tenths of a second per receive

// Data files that are directories, FIFOs, loops or unreadable, and a server
// killed mid-session, against a real tarvexd driven by tarvex-device and by a
// device link of the test's own.
class DataFileFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Add("TARVEX_PASSWORD=secret42");
    port_ = testing::FindFreePort();
    SpawnResult configured = RunSpawned(TARVEXD_PATH,
                                        {"configure", "--port", std::to_string(port_), "--login", "palm",
                                         "--password-stdin", "--root-dir", dir_.File("exchange")},
                                        env_, testing::kProgramLimit, "secret42\n");
    ASSERT_EQ(configured.status, 0) << configured.err;
    exchange_ = dir_.File("exchange") + "/";
    fs::create_directories(exchange_);
    StartServer();
  }
  void TearDown() override {
    server_->Signal();
    EXPECT_EQ(server_->Wait(seconds(20)), 0) << server_->Errors();
  }
  void StartServer() {
    server_ = SpawnedProcess::Start(TARVEXD_PATH, std::vector<std::string>{"--listen-address", "127.0.0.1"},
                                    env_, nullptr, SpawnOptions::Captured());
    ASSERT_TRUE(testing::WaitUntil([&] { return server_->Errors().find("Server Started") != std::string::npos; }))
        << server_->Errors();
  }
  void KillServer() {
    server_->Signal(SIGKILL);
    ASSERT_TRUE(server_->Wait(seconds(10)).has_value());
  }
  bool ServerRuns() { return !server_->Wait(std::chrono::milliseconds(0)).has_value(); }
  SpawnResult Device(std::vector<std::string> command) {
    std::vector<std::string> args = {"--port", std::to_string(port_), "--login", "palm"};
    args.insert(args.end(), command.begin(), command.end());
    return RunSpawned(TARVEX_DEVICE_PATH, args, env_, testing::kProgramLimit);
  }
  std::unique_ptr<Connection> Link() {
    LoginOutcome login = LogIn("127.0.0.1", port_, "palm", "secret42", kFileServiceId, kTimeout);
    EXPECT_TRUE(login.Accepted());
    return std::move(login.connection);
  }
  std::string Data(const std::string& name) const { return world_.AppFile(name); }
  std::vector<std::string> HiddenNames(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
      if (entry.path().filename().string()[0] == '.') names.push_back(entry.path().filename());
    }
    return names;
  }

  testing::ProgramEnvironment world_;
  const testing::TempDir& dir_ = world_.Dir();
  const std::vector<std::string>& env_ = world_.Env();
  std::uint16_t port_ = 0;
  std::string exchange_;
  std::optional<SpawnedProcess> server_;
};

TEST_F(DataFileFaultsTest, ADirectoryInPlaceOfADataFileRefusesTheRequestAndTheServerGoesOn) {
  testing::WriteFile(exchange_ + "a.txt", "content");
  ASSERT_EQ(Device({"add-user", "Ann"}).out, "1\n");

  fs::rename(Data("QLXUsers.txt"), dir_.File("users.saved"));
  fs::create_directory(Data("QLXUsers.txt"));
  EXPECT_EQ(Device({"users"}).out, "");
  EXPECT_NE(Device({"add-user", "Bob"}).status, 0);
  EXPECT_TRUE(fs::is_directory(Data("QLXUsers.txt")));
  EXPECT_TRUE(ServerRuns());
  EXPECT_NE(server_->Errors().find("Failed to read the users file"), std::string::npos) << server_->Errors();
  fs::remove(Data("QLXUsers.txt"));
  fs::rename(dir_.File("users.saved"), Data("QLXUsers.txt"));
  EXPECT_EQ(Device({"users"}).out, "1 Ann\n");

  fs::create_directory(Data("QLXFiles.txt"));
  EXPECT_EQ(Device({"get", exchange_, "a.txt", "-o", dir_.File("copy.txt"), "--track", "--user", "1"}).status, 0);
  EXPECT_EQ(Device({"tracked", "1"}).out, "");
  EXPECT_TRUE(ServerRuns());
  EXPECT_NE(server_->Errors().find("Failed to read the tracked files list"), std::string::npos);
  fs::remove(Data("QLXFiles.txt"));

  // The access file: the session is restricted and reaches nothing.
  fs::create_directory(Data("QLXAccessCtrl.dat"));
  EXPECT_NE(Device({"get", exchange_, "a.txt", "-o", dir_.File("copy2.txt")}).status, 0);
  EXPECT_NE(Device({"put", exchange_ + "a.txt", exchange_, "--name", "b.txt"}).status, 0);
  EXPECT_FALSE(fs::exists(exchange_ + "b.txt"));
  EXPECT_TRUE(ServerRuns());
  EXPECT_NE(server_->Errors().find("cannot be read"), std::string::npos);
  fs::remove(Data("QLXAccessCtrl.dat"));
  EXPECT_EQ(Device({"info"}).status, 0);
}

TEST_F(DataFileFaultsTest, AFifoInPlaceOfTheUsersOrSettingsFileHangsNothing) {
  ASSERT_EQ(::mkfifo(Data("QLXUsers.txt").c_str(), 0600), 0);
  const SpawnResult users = Device({"users"});
  EXPECT_EQ(users.status, 0) << users.err;
  EXPECT_EQ(users.out, "");
  EXPECT_EQ(Device({"info"}).status, 0);
  fs::remove(Data("QLXUsers.txt"));

  // A second home whose settings file is a FIFO: configuring it finishes,
  // refuses and leaves the FIFO.
  testing::ProgramEnvironment other;
  fs::create_directories(other.AppFile(""));
  ASSERT_EQ(::mkfifo(other.AppFile("TSConfig.txt").c_str(), 0600), 0);
  const SpawnResult configured =
      RunSpawned(TARVEXD_PATH, {"configure", "--port", "9311"}, other.Env(), seconds(20));
  EXPECT_NE(configured.status, -1) << "tarvexd hung on the FIFO";
  EXPECT_NE(configured.status, 0);
  EXPECT_TRUE(fs::is_fifo(other.AppFile("TSConfig.txt")));
}

TEST_F(DataFileFaultsTest, AnUnreadableUsersFileIsLeftUntouchedByAddUser) {
  // A link that loops cannot be read even by root: it is not a missing file.
  fs::create_symlink("QLXUsers.txt", Data("QLXUsers.txt"));
  EXPECT_NE(Device({"add-user", "Ann"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(Data("QLXUsers.txt")));
  fs::remove(Data("QLXUsers.txt"));
  if (::geteuid() != 0) {
    const std::string three = "\"1\",\"Ann\",\"\"\r\n\"2\",\"Bob\",\"\"\r\n\"3\",\"Cy\",\"\"\r\n";
    testing::WriteFile(Data("QLXUsers.txt"), three);
    fs::permissions(Data("QLXUsers.txt"), fs::perms::none);
    EXPECT_NE(Device({"add-user", "Dee"}).status, 0);
    fs::permissions(Data("QLXUsers.txt"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(testing::ReadFile(Data("QLXUsers.txt")), three);
  }
  EXPECT_TRUE(ServerRuns());
}

TEST_F(DataFileFaultsTest, TrackedDownloadsSurviveAServerKilledMidSession) {
  for (int i = 0; i < 20; ++i) testing::WriteFile(exchange_ + "f" + std::to_string(i) + ".txt", "x");
  auto link = Link();
  ASSERT_NE(link, nullptr);
  for (int i = 0; i < 20; ++i) {
    GetFileReply reply;
    ASSERT_EQ(RequestGetFile(link.get(), {1, protocol::get_file::kTrack, "f" + std::to_string(i) + ".txt", exchange_},
                             &reply, [](std::string_view) { return true; }, kTimeout),
              0);
    ASSERT_EQ(reply.status, 0u);
  }
  // A reply to the next request shows the server is past the last download.
  std::string tag;
  ASSERT_EQ(RequestServerInfo(link.get(), &tag, kTimeout), 0);
  KillServer();
  const std::string files = testing::ReadFile(Data("QLXFiles.txt"));
  EXPECT_EQ(std::count(files.begin(), files.end(), '\n'), 20) << files;
  StartServer();
}

TEST_F(DataFileFaultsTest, AServerKilledMidUploadLeavesNothingAfterARestart) {
  auto link = Link();
  ASSERT_NE(link, nullptr);
  std::size_t given = 0;
  std::int32_t reply = 0;
  const ContentSource source = [&](char* out, std::size_t n) -> long {
    if (given >= 256 * 1024) {
      KillServer();
      return -1;
    }
    std::fill(out, out + n, 'u');
    given += n;
    return static_cast<long>(n);
  };
  RequestPutFile(link.get(), {0, "big.bin", exchange_, 1024 * 1024}, source, &reply, kTimeout);
  ASSERT_FALSE(ServerRuns());
  const bool named_leftover = !HiddenNames(exchange_).empty();
  StartServer();
  // Where no unnamed file could be made, the leftover is old enough to go
  // once the next upload into the directory starts.
  if (named_leftover) std::this_thread::sleep_for(seconds(3));
  testing::WriteFile(dir_.File("small.txt"), "small");
  EXPECT_EQ(Device({"put", dir_.File("small.txt"), exchange_}).status, 0);
  EXPECT_EQ(HiddenNames(exchange_), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(exchange_ + "big.bin"));
}

TEST_F(DataFileFaultsTest, BlankLinesUnreadableAccessFilesAndOtherCasesOpenNothing) {
  fs::create_directories(exchange_ + "share");
  fs::create_directories(exchange_ + "SHARE");
  testing::WriteFile(exchange_ + "share/a.txt", "allowed");
  testing::WriteFile(exchange_ + "SHARE/b.txt", "not allowed");
  testing::WriteFile(Data("QLXAccessCtrl.dat"), exchange_ + "share/\r\n\r\n   \r\n");
  EXPECT_EQ(Device({"get", exchange_ + "share/", "a.txt", "-o", dir_.File("a.txt")}).status, 0);
  EXPECT_NE(Device({"get", "/etc/", "hostname", "-o", dir_.File("hostname")}).status, 0);
  EXPECT_EQ(Device({"ls", "/"}).out.find("etc"), std::string::npos);
  // A path that differs from the entry only in case is another directory.
  EXPECT_NE(Device({"get", exchange_ + "SHARE/", "b.txt", "-o", dir_.File("b.txt")}).status, 0);
  EXPECT_FALSE(fs::exists(dir_.File("b.txt")));

  // An access file that is there but cannot be read allows nothing.
  fs::remove(Data("QLXAccessCtrl.dat"));
  fs::create_symlink(dir_.File("nowhere"), Data("QLXAccessCtrl.dat"));
  EXPECT_NE(Device({"get", exchange_ + "share/", "a.txt", "-o", dir_.File("a2.txt")}).status, 0);
  EXPECT_FALSE(fs::exists(dir_.File("a2.txt")));
  EXPECT_TRUE(ServerRuns());
}

}  // namespace
}  // namespace tarvex
