#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "common/big_endian.h"
#include "platform/spawned_process.h"
#include "platform/event.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"
#include "support/program_env.h"
#include "support/server/server_fixture.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

// tarvex-device against a real tarvexd on a loopback port; the server's data
// files are made into directories, FIFOs, loops or unreadable files.
class TarvexDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Add("TARVEX_PASSWORD=secret42");
    port_ = testing::FindFreePort();
    SpawnResult configured = RunSpawned(
        TARVEXD_PATH,
        {"configure", "--port", Port(), "--login", "palm", "--password-stdin", "--root-dir", dir_.File("exchange")},
        env_, testing::kProgramLimit, "secret42\n");
    ASSERT_EQ(configured.status, 0) << configured.err;
    exchange_ = dir_.File("exchange") + "/";
    fs::create_directories(exchange_);
    server_ = SpawnedProcess::Start(TARVEXD_PATH, std::vector<std::string>{"--listen-address", "127.0.0.1"}, env_, nullptr,
                                    SpawnOptions::Captured());
    ASSERT_TRUE(testing::WaitUntil([&] { return server_->Errors().find("Server Started") != std::string::npos; }))
        << server_->Errors();
  }
  void TearDown() override {
    server_->Signal();
    EXPECT_EQ(server_->Wait(seconds(20)), 0) << server_->Errors();
  }
  std::string Port() const { return std::to_string(port_); }
  bool ServerRuns() { return !server_->Wait(std::chrono::milliseconds(0)).has_value(); }
  SpawnResult Device(std::vector<std::string> command, const std::string& login = "palm") {
    std::vector<std::string> args = {"--port", Port(), "--login", login};
    args.insert(args.end(), command.begin(), command.end());
    return RunSpawned(TARVEX_DEVICE_PATH, args, env_, testing::kProgramLimit);
  }
  std::string Data(const std::string& name) const { return world_.AppFile(name); }

  testing::ProgramEnvironment world_;
  const testing::TempDir& dir_ = world_.Dir();
  const std::vector<std::string>& env_ = world_.Env();
  std::uint16_t port_ = 0;
  std::string exchange_;
  std::optional<SpawnedProcess> server_;
};

TEST_F(TarvexDeviceTest, EveryCommandAndEveryFailureAgainstTheHeadlessServer) {
  EXPECT_EQ(Device({"info"}).out, "<QLXServerVersion=1.20>\n");
  EXPECT_EQ(Device({"add-user", "Ann", "first"}).out, "1\n");
  EXPECT_EQ(Device({"add-user", "Bob"}).out, "2\n");
  SpawnResult duplicate = Device({"add-user", "ANN"});
  EXPECT_NE(duplicate.status, 0);
  EXPECT_NE(duplicate.err.find("exists"), std::string::npos);
  EXPECT_EQ(Device({"users"}).out, "1 Ann\n2 Bob\n");

  EXPECT_EQ(Device({"user-dir", "2"}).out, exchange_ + "Bob/\n");
  SpawnResult none = Device({"user-dir", "9"});
  EXPECT_NE(none.status, 0);
  EXPECT_NE(none.err.find("no directory"), std::string::npos);

  std::string content(70000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 241);
  testing::WriteFile(dir_.File("local.bin"), content);

  SpawnResult put = Device({"put", dir_.File("local.bin"), dir_.File("exchange"), "--name", "report.bin"});
  EXPECT_EQ(put.status, 0) << put.err;
  EXPECT_EQ(put.out, exchange_ + "report.bin (70000 bytes)\n");
  EXPECT_EQ(put.err, "") << "no progress without a terminal";

  SpawnResult ls = Device({"ls", exchange_});
  EXPECT_TRUE(ls.out.starts_with("d ")) << ls.out;
  EXPECT_NE(ls.out.find("      70000 report.bin\n"), std::string::npos) << ls.out;

  const std::string copy = dir_.File("copy.bin");
  SpawnResult get = Device({"get", exchange_, "report.bin", "-o", copy, "--track", "--user", "1"});
  EXPECT_EQ(testing::ReadFile(copy), content) << get.err;
  SpawnResult tracked = Device({"tracked", "1"});
  EXPECT_NE(tracked.out.find(" 70000 " + exchange_ + "report.bin\n"), std::string::npos) << tracked.out;
  EXPECT_TRUE(Device({"drives"}).out.starts_with("/\n"));

  // Failures name the status the server gave; a failed get leaves no file.
  SpawnResult missing = Device({"get", exchange_, "absent.bin", "-o", dir_.File("absent.bin")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("(status 1: file not found)"), std::string::npos) << missing.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("absent.bin")));
  SpawnResult bad_path = Device({"put", dir_.File("local.bin"), exchange_ + "no/such/dir"});
  EXPECT_NE(bad_path.err.find("(status 3: bad path)"), std::string::npos) << bad_path.err;
  EXPECT_EQ(Device({"get", exchange_, "x", "--track"}).status, 2);

  SpawnResult refused = Device({"info"}, "intruder");
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.err.find("wrong login name or password"), std::string::npos) << refused.err;

  // A link keyed with another password is closed unanswered.
  SpawnResult wrong_password =
      RunSpawned(TARVEX_DEVICE_PATH, {"--port", Port(), "--login", "palm", "--password-stdin", "info"}, env_,
                 testing::kProgramLimit, "wrong password\n");
  EXPECT_EQ(wrong_password.status, 3);
  EXPECT_NE(wrong_password.err.find("the login name or password is wrong"), std::string::npos) << wrong_password.err;

  SpawnResult usage = Device({"frobnicate"});
  EXPECT_EQ(usage.status, 2);
  // Numbers are taken whole, and a refusal names what was wrong.
  const std::pair<std::vector<std::string>, std::string> malformed[] = {
      {{"--port", Port(), "--login", "palm", "search", "x", "--count", "1e3"}, "--count: 1e3"},
      {{"--port", Port(), "--login", "palm", "tracked", "12x"}, "ID: 12x is not a whole number"},
  };
  for (const auto& [args, message] : malformed) {
    const SpawnResult rejected = RunSpawned(TARVEX_DEVICE_PATH, args, env_, testing::kProgramLimit);
    EXPECT_EQ(rejected.status, 2) << message;
    EXPECT_NE(rejected.err.find(message), std::string::npos) << rejected.err;
  }

  SpawnResult closed = RunSpawned(TARVEX_DEVICE_PATH,
                                    {"--port", std::to_string(testing::FindFreePort()), "--login", "palm", "info"},
                                    env_, testing::kProgramLimit);
  EXPECT_EQ(closed.status, 1);
  EXPECT_NE(closed.err.find("cannot connect"), std::string::npos);
}

TEST_F(TarvexDeviceTest, ADirectoryInPlaceOfADataFileRefusesTheRequestAndTheServerGoesOn) {
  testing::WriteFile(exchange_ + "a.txt", "content");
  ASSERT_EQ(Device({"add-user", "Ann"}).out, "1\n");

  fs::rename(Data("QLXUsers.txt"), dir_.File("users.saved"));
  fs::create_directory(Data("QLXUsers.txt"));
  EXPECT_EQ(Device({"users"}).out, "");
  EXPECT_NE(Device({"add-user", "Bob"}).status, 0);
  EXPECT_TRUE(fs::is_directory(Data("QLXUsers.txt")));
  EXPECT_NE(server_->Errors().find("Failed to read the users file"), std::string::npos) << server_->Errors();
  fs::remove(Data("QLXUsers.txt"));
  fs::rename(dir_.File("users.saved"), Data("QLXUsers.txt"));
  EXPECT_EQ(Device({"users"}).out, "1 Ann\n");

  fs::create_directory(Data("QLXFiles.txt"));
  EXPECT_EQ(Device({"get", exchange_, "a.txt", "-o", dir_.File("copy.txt"), "--track", "--user", "1"}).status, 0);
  EXPECT_EQ(Device({"tracked", "1"}).out, "");
  EXPECT_TRUE(ServerRuns());
  EXPECT_NE(server_->Errors().find("Failed to read the tracked files list"), std::string::npos);
}

TEST_F(TarvexDeviceTest, AFifoInPlaceOfTheUsersOrSettingsFileHangsNothing) {
  ASSERT_EQ(::mkfifo(Data("QLXUsers.txt").c_str(), 0600), 0);
  const SpawnResult users = Device({"users"});
  EXPECT_EQ(users.status, 0) << users.err;
  EXPECT_EQ(users.out, "");
  fs::remove(Data("QLXUsers.txt"));

  // A second home whose settings file is a FIFO: configuring it finishes,
  // refuses and leaves the FIFO.
  testing::ProgramEnvironment other;
  fs::create_directories(other.AppFile(""));
  ASSERT_EQ(::mkfifo(other.AppFile("TSConfig.txt").c_str(), 0600), 0);
  const SpawnResult configured =
      RunSpawned(TARVEXD_PATH, {"configure", "--port", "9311"}, other.Env(), seconds(20));
  EXPECT_NE(configured.status, 128 + SIGKILL) << "tarvexd hung on the FIFO";
  EXPECT_NE(configured.status, 0);
  EXPECT_TRUE(fs::is_fifo(other.AppFile("TSConfig.txt")));
}

TEST_F(TarvexDeviceTest, AnUnreadableUsersFileIsLeftUntouchedByAddUser) {
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

// A desktop whose download stops after 200000 of its 1000000 bytes and holds
// the link until released, so a download can be interrupted half-way; and
// whose receive of an upload's content fails, as when the link drops.
class StallingSession : public Session {
 public:
  explicit StallingSession(ManualResetEvent* release) : release_(release) {}
  Status Prepare() override { return 0; }
  Status Run() override {
    namespace layout = protocol::get_file;
    Connection* link = connection.get();
    std::uint16_t code = 0;
    std::string block;
    if (ReceiveHeader(link, &code, 50) != 0 || ReceiveBlock(link, &block, 50) != 0) return 1;
    if (code == protocol::request::kPutFile) {
      std::string reply;
      AppendU16(reply, protocol::put_file::kReplyLength);
      AppendU32(reply, message_status::kReceiveFailed);
      SendBytes(link, reply);
      CloseConnection(link);
      return 0;
    }
    std::string name(GetU16(block.data() + layout::kNameLength), '\0');
    std::string directory(GetU16(block.data() + layout::kDirectoryLength), '\0');
    ReceiveBytes(link, name.data(), name.size(), 50);
    ReceiveBytes(link, directory.data(), directory.size(), 50);
    PutU32(block.data() + layout::kStatus, protocol::get_file::kSending);
    PutU32(block.data() + layout::kFileSize, 1000000);
    for (const std::string& item : {block, name, directory}) SendBytes(link, item);
    for (int i = 0; i < 20; ++i) SendBytes(link, std::string(layout::kItem, 'x'));
    release_->Wait(std::chrono::seconds(20));
    CloseConnection(link);
    return 0;
  }

 private:
  ManualResetEvent* release_;
};

class StallingService : public Service {
 public:
  explicit StallingService(ManualResetEvent* release) : release_(release) {}
  std::uint16_t GetServiceId() const override { return kFileServiceId; }
  const std::string& GetServiceName() const override { return name_; }
  ActivityLog* GetServiceLog() override { return nullptr; }
  bool Configure() override { return false; }
  bool IsReady() override { return true; }
  std::unique_ptr<Session> CreateSession() override { return std::make_unique<StallingSession>(release_); }

 private:
  ManualResetEvent* release_;
  std::string name_ = "Stalling";
};

class InterruptedGetTest : public testing::ServerFixture {
 protected:
  void TearDown() override { release_.Set(); }
  ManualResetEvent release_;
};

TEST_F(InterruptedGetTest, AnInterruptedDownloadLeavesNoFileAndABrokenUploadIsToldAsSuch) {
  StartWith({[this] { return std::make_unique<StallingService>(&release_); }});
  const std::string folder = root_.File("downloads");
  std::filesystem::create_directory(folder);
  for (const auto& [signal_number, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    SpawnedProcess device =
        SpawnedProcess::Start(TARVEX_DEVICE_PATH,
                              {"--port", std::to_string(port_), "--login", testing::kLogin, "get", "/desk/",
                               "big.bin", "-o", folder + "/big.bin"},
                              {std::string("TARVEX_PASSWORD=") + testing::kPassword}, nullptr,
                              SpawnOptions::Captured())
            .value();
    // Content has reached the hidden temporary file.
    ASSERT_TRUE(testing::WaitUntil([&] {
      for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.file_size() >= protocol::get_file::kItem) return true;
      }
      return false;
    })) << device.Errors();
    device.Signal(signal_number);
    EXPECT_EQ(device.Wait(std::chrono::seconds(5)), status);
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << signal_number;
  }

  // The reply's status 14 is the desktop's failed receive, not a file cause.
  testing::WriteFile(root_.File("up.txt"), "content");
  const SpawnResult put =
      RunSpawned(TARVEX_DEVICE_PATH,
                 {"--port", std::to_string(port_), "--login", testing::kLogin, "put", root_.File("up.txt"), "/"},
                 {std::string("TARVEX_PASSWORD=") + testing::kPassword}, testing::kProgramLimit);
  EXPECT_EQ(put.status, 1);
  EXPECT_NE(put.err.find("(status 14: the server's receive failed: the link broke"), std::string::npos) << put.err;
}

}  // namespace
}  // namespace tarvex
