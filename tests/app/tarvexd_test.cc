#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <filesystem>
#include <thread>

#include "client/device_link.h"
#include "client/file_requests.h"
#include "platform/spawned_process.h"
#include "platform/event.h"
#include "platform/instance_lock.h"
#include "platform/socket.h"
#include "support/server/server_fixture.h"
#include "support/program_env.h"
#include "support/posix_shims.h"

namespace tarvex {
namespace {

using std::chrono::seconds;

class TarvexdTest : public ::testing::Test {
 protected:
  SpawnResult Tarvexd(const std::vector<std::string>& args, const std::string& input = "") {
    return RunSpawned(TARVEXD_PATH, args, world_.Env(), testing::kProgramLimit, input);
  }
  std::string AppFile(const std::string& name) { return world_.AppFile(name); }
  void Configure(std::uint16_t port) {
    SpawnResult r = Tarvexd(
        {"configure", "--port", std::to_string(port), "--login", "palm", "--password-stdin"}, "secret42\n");
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static bool WaitForText(SpawnedProcess& child, const std::string& text) {
    return testing::WaitUntil([&] { return child.Errors().find(text) != std::string::npos; });
  }
  // A configured tarvexd serving on 127.0.0.1 (port_), once it has started.
  std::optional<SpawnedProcess> StartTarvexd() {
    port_ = testing::FindFreePort();
    Configure(port_);
    const std::vector<std::string> args = {"--listen-address", "127.0.0.1"};
    auto server = SpawnedProcess::Start(TARVEXD_PATH, args, world_.Env(), nullptr, SpawnOptions::Captured());
    EXPECT_TRUE(WaitForText(*server, "Server Started")) << server->Errors();
    return server;
  }
  LoginOutcome LogInDevice() { return LogIn("127.0.0.1", port_, "palm", "secret42", kFileServiceId, 50); }

  testing::ProgramEnvironment world_;
  const testing::TempDir& dir_ = world_.Dir();
  std::uint16_t port_ = 0;
};

TEST_F(TarvexdTest, ConfigureStoresNothingOnARefusalThenStoresWhereTheNextStartLooks) {
  SpawnResult refused = Tarvexd({"configure", "--port", "9300", "--login", ""});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("tarvexd: Invalid Login Name"), std::string::npos) << refused.err;
  // The data directory defaults to the application folder; nothing was stored.
  EXPECT_EQ(testing::ReadFile(AppFile("TSConfig.txt")), "");

  SpawnResult ok = Tarvexd({"configure", "--port", "32767", "--login", "palm", "--password-stdin",
                            "--root-dir", dir_.File("root"), "--charset", "SHIFT_JIS"},
                           "secret42\n");
  ASSERT_EQ(ok.status, 0) << ok.err;
  const std::string stored = testing::ReadFile(AppFile("TSConfig.txt"));
  EXPECT_EQ(stored.substr(0, 18), "PORT=32767\r\nLOGIN=");
  EXPECT_NE(stored.find("\r\nCHARSET=SHIFT_JIS\r\n"), std::string::npos);
  EXPECT_NE(testing::ReadFile(dir_.File("config") + "/Veldane Software/QLExchange.conf")
                .find(dir_.File("root") + "/"),
            std::string::npos);

  // Credentials given with a new data directory are stored there, where the
  // next start looks for them.
  std::filesystem::create_directory(dir_.File("data"));
  SpawnResult moved = Tarvexd({"configure", "--data-dir", dir_.File("data"), "--login", "moved"});
  ASSERT_EQ(moved.status, 0) << moved.err;
  EXPECT_EQ(testing::ReadFile(dir_.File("data/TSConfig.txt")), "LOGIN=moved\r\n");
  EXPECT_EQ(testing::ReadFile(AppFile("TSConfig.txt")), stored);
}

TEST_F(TarvexdTest, DeviceFileRefusesUnconfiguredThenWritesBesideARunningServer) {
  const std::string out = dir_.File("out");
  std::filesystem::create_directory(out);
  SpawnResult unconfigured = Tarvexd({"device-file", "--ip", "10.0.0.2", "--output", out});
  EXPECT_EQ(unconfigured.status, 2);
  EXPECT_NE(unconfigured.err.find("not configured"), std::string::npos) << unconfigured.err;
  EXPECT_TRUE(std::filesystem::is_empty(out));

  Configure(9301);
  // It only reads the settings, so it runs beside a running server.
  setenv("XDG_RUNTIME_DIR", dir_.File("run").c_str(), 1);
  std::optional<InstanceLock> lock = InstanceLock::Acquire();
  ASSERT_TRUE(lock);
  // A relative folder is the caller's, not the application folder's.
  const std::filesystem::path caller = std::filesystem::current_path();
  std::filesystem::current_path(dir_.Path());
  SpawnResult ok = Tarvexd({"device-file", "--ip", "192.168.001.20", "--output", "out/"});
  std::filesystem::current_path(caller);
  ASSERT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, out + "/QSSrvCfgDB.pdb\n");
  EXPECT_NE(testing::ReadFile(out + "/QSSrvCfgDB.pdb").find(std::string("IP\0" "192.168.1.20\0PORT\0" "9301\0", 26)),
            std::string::npos);
}

TEST_F(TarvexdTest, RefusesASecondCopyOutlivesItsStandardErrorAndStopsWithinTwoSeconds) {
  std::optional<SpawnedProcess> server = StartTarvexd();
  SpawnResult second = Tarvexd({});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("tarvexd: Tarvex Server is already running"), std::string::npos);

  server->CloseErrors();
  for (int i = 0; i < 2; ++i) {  // each session logs, and its echo fails
    LoginOutcome login = LogInDevice();
    ASSERT_TRUE(login.Accepted()) << i;
    EXPECT_EQ(EndSession(login.connection.get(), 50), 0);
  }
  // A hang-up stops it whatever devices are connected.
  std::vector<std::unique_ptr<Connection>> silent;
  for (int i = 0; i < 10; ++i) silent.push_back(ConnectToServer("127.0.0.1", port_));
  // Accepted after the silent ones, so they are all logging in by now.
  LoginOutcome idle = LogInDevice();
  ASSERT_TRUE(idle.Accepted());
  server->Signal(SIGHUP);
  EXPECT_EQ(server->Wait(seconds(2)), 0);
  const std::string log = testing::ReadFile(AppFile("TSServerLog.txt"));
  EXPECT_NE(log.find("End Session - SessionID [2]"), std::string::npos) << log;
  EXPECT_NE(log.find(",Server,,0,Server Stopped\r\n"), std::string::npos) << log;
}

TEST_F(TarvexdTest, UnconfiguredWithoutTerminalAndPortInUseFail) {
  SpawnResult unconfigured = Tarvexd({"--listen-address", "127.0.0.1"});
  EXPECT_EQ(unconfigured.status, 2);
  EXPECT_NE(unconfigured.err.find("tarvexd configure"), std::string::npos);

  const std::uint16_t port = testing::FindFreePort();
  Socket taken = ListenTcp("127.0.0.1", port, 1);
  Configure(port);
  SpawnResult busy = Tarvexd({"--listen-address", "127.0.0.1"});
  EXPECT_EQ(busy.status, 1);
  const std::string reason = "port " + std::to_string(port) + " is already in use";
  EXPECT_NE(busy.err.find("tarvexd: the server could not start: " + reason), std::string::npos) << busy.err;
}

TEST_F(TarvexdTest, StartLineJournalPrioritiesAndStatusOfADeviceMidUpload) {
  SpawnResult none = Tarvexd({"status"});
  EXPECT_EQ(none.status, 3);
  EXPECT_EQ(none.out, "Tarvex Server is not running.\n");

  world_.Add("JOURNAL_STREAM=8:4242");
  std::optional<SpawnedProcess> server = StartTarvexd();
  EXPECT_TRUE(WaitForText(*server, "<6>Listening on port " + std::to_string(port_) +
                                       "; handhelds can connect to 127.0.0.1"))
      << server->Errors();
  EXPECT_NE(server->Errors().find("<6>20"), std::string::npos) << server->Errors();
  // A wrong login name is a failure, and journalctl -p err must find it.
  EXPECT_FALSE(LogIn("127.0.0.1", port_, "intruder", "secret42", kFileServiceId, 50).Accepted());
  EXPECT_TRUE(WaitForText(*server, "Server intruder: Invalid Login Name and/or password"));
  const std::string& errors = server->Errors();
  const std::size_t invalid = errors.find("Server intruder: Invalid Login");
  ASSERT_NE(invalid, std::string::npos);
  const std::size_t line = errors.rfind('\n', invalid);
  EXPECT_EQ(errors.substr(line + 1, 3), "<3>") << errors;

  // A device stops half-way through an upload while status is asked.
  std::filesystem::create_directory(dir_.File("up"));
  LoginOutcome device = LogInDevice();
  ASSERT_TRUE(device.Accepted());
  const PutFileRequest request{0, "big.bin", dir_.File("up") + "/", 200000};
  ManualResetEvent go_on;
  std::uint32_t given = 0;
  std::thread upload([&] {
    std::int32_t reply = -1;
    RequestPutFile(
        device.connection.get(), request,
        [&](char* out, std::size_t n) -> long {
          if (given >= 65536 && !go_on.Wait(std::chrono::seconds(20))) return -1;
          n = std::min<std::size_t>(n, request.size - given);
          std::fill_n(out, n, 'x');
          given += static_cast<std::uint32_t>(n);
          return static_cast<long>(n);
        },
        &reply, 50);
  });
  SpawnResult status;
  const bool seen = testing::WaitUntil([&] {
    status = Tarvexd({"status"});
    return status.out.find("of 200000 bytes") != std::string::npos;
  });
  go_on.Set();
  upload.join();
  EXPECT_TRUE(seen) << status.out << status.err;
  EXPECT_EQ(status.status, 0);
  EXPECT_NE(status.out.find("Tarvex Server is running on port " + std::to_string(port_)), std::string::npos);
  EXPECT_NE(status.out.find("Handhelds can connect to 127.0.0.1"), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("1 device connected:\n  palm from 127.0.0.1: receiving big.bin, "),
            std::string::npos)
      << status.out;
  server->Signal();
  EXPECT_EQ(server->Wait(seconds(5)), 0);
  EXPECT_EQ(Tarvexd({"status"}).status, 3);
}

}  // namespace
}  // namespace tarvex
