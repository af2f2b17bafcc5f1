#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "client/device_link.h"
#include "platform/child_process.h"
#include "platform/socket.h"
#include "support/server/server_fixture.h"
#include "support/program_env.h"

namespace tarvex {
namespace {

using std::chrono::seconds;

class TarvexdTest : public ::testing::Test {
 protected:
  ProgramResult Tarvexd(const std::vector<std::string>& args, const std::string& input = "") {
    return RunProgram(TARVEXD_PATH, args, world_.Env(), input);
  }
  std::string AppFile(const std::string& name) { return world_.AppFile(name); }
  void Configure(std::uint16_t port) {
    ProgramResult r = Tarvexd({"configure", "--port", std::to_string(port), "--login", "palm",
                               "--password-stdin"},
                              "secret42\n");
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static bool WaitForText(ChildProcess& child, const std::string& text) {
    return testing::WaitUntil([&] { return child.Errors().find(text) != std::string::npos; });
  }

  testing::ProgramEnvironment world_;
  const testing::TempDir& dir_ = world_.Dir();
};

TEST_F(TarvexdTest, ConfigureChecksEverythingBeforeStoringAnything) {
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"--port", ""}, "Port number is required."},
      {{"--port", "0"}, "Invalid Port Number"},
      {{"--port", "32768"}, "Invalid Port Number"},
      {{"--port", "9300", "--login", ""}, "Invalid Login Name"},
      {{"--port", "9300", "--login", "palm", "--password-stdin"},
       "Invalid Password. Must be at least 5 characters long."},
      {{"--root-dir", ""}, "Must enter a valid directory"},
  };
  for (const auto& [options, message] : refused) {
    std::vector<std::string> args = {"configure"};
    args.insert(args.end(), options.begin(), options.end());
    ProgramResult r = Tarvexd(args, "abcd\n");
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
  // The data directory defaults to the application folder; nothing was stored.
  EXPECT_EQ(testing::ReadFile(AppFile("TSConfig.txt")), "");

  ProgramResult ok = Tarvexd({"configure", "--port", "32767", "--login", "palm", "--password-stdin",
                              "--root-dir", dir_.File("root")},
                             "secret42\n");
  ASSERT_EQ(ok.status, 0) << ok.err;
  const std::string stored = testing::ReadFile(AppFile("TSConfig.txt"));
  EXPECT_EQ(stored.substr(0, 18), "PORT=32767\r\nLOGIN=");
  EXPECT_NE(testing::ReadFile(dir_.File("config") + "/Veldane Software/QLExchange.conf")
                .find(dir_.File("root") + "/"),
            std::string::npos);
}

TEST_F(TarvexdTest, RunsUntilSigtermAndRefusesASecondCopy) {
  const std::uint16_t port = testing::FindFreePort();
  Configure(port);
  ChildProcess server(TARVEXD_PATH, {"--listen-address", "127.0.0.1"}, world_.Env());
  ASSERT_TRUE(WaitForText(server, "Server Started")) << server.Errors();

  LoginOutcome login = LogIn("127.0.0.1", port, "palm", "secret42", kFileServiceId, 50);
  EXPECT_TRUE(login.Accepted());

  ProgramResult second = Tarvexd({});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("tarvexd: Tarvex Server is already running"), std::string::npos);

  server.Signal();
  EXPECT_EQ(server.Wait(seconds(20)), 0) << server.Errors();
  EXPECT_NE(server.Errors().find("Server Stopped"), std::string::npos);
  const std::string log = testing::ReadFile(AppFile("TSServerLog.txt"));
  EXPECT_NE(log.find(",Server,,0,Server Stopped\r\n"), std::string::npos) << log;
}

TEST_F(TarvexdTest, SighupStopsItWithinTwoSecondsWhateverDevicesAreConnected) {
  const std::uint16_t port = testing::FindFreePort();
  Configure(port);
  ChildProcess server(TARVEXD_PATH, {"--listen-address", "127.0.0.1"}, world_.Env());
  ASSERT_TRUE(WaitForText(server, "Server Started")) << server.Errors();
  std::vector<std::unique_ptr<Connection>> silent;
  for (int i = 0; i < 10; ++i) silent.push_back(ConnectToServer("127.0.0.1", port));
  // Accepted after the silent ones, so they are all logging in by now.
  LoginOutcome idle = LogIn("127.0.0.1", port, "palm", "secret42", kFileServiceId, 50);
  ASSERT_TRUE(idle.Accepted());

  server.Signal(SIGHUP);
  EXPECT_EQ(server.Wait(seconds(2)), 0) << server.Errors();
  const std::string log = testing::ReadFile(AppFile("TSServerLog.txt"));
  EXPECT_NE(log.find(",Server,,0,Server Stopped\r\n"), std::string::npos) << log;
}

TEST_F(TarvexdTest, KeepsServingWhenItsStandardErrorGoesAway) {
  const std::uint16_t port = testing::FindFreePort();
  Configure(port);
  ChildProcess server(TARVEXD_PATH, {"--listen-address", "127.0.0.1"}, world_.Env());
  ASSERT_TRUE(WaitForText(server, "Server Started")) << server.Errors();
  server.CloseErrors();
  for (int i = 0; i < 2; ++i) {  // each session logs, and its echo fails
    LoginOutcome login = LogIn("127.0.0.1", port, "palm", "secret42", kFileServiceId, 50);
    ASSERT_TRUE(login.Accepted()) << i;
    ASSERT_EQ(SendHeader(login.connection.get(), protocol::kEndSession), 0);
    std::uint16_t code = 0;
    EXPECT_EQ(ReceiveHeader(login.connection.get(), &code, 50), 0);
  }
  server.Signal();
  EXPECT_EQ(server.Wait(seconds(20)), 0);
  const std::string log = testing::ReadFile(AppFile("TSServerLog.txt"));
  EXPECT_NE(log.find("End Session - SessionID [2]"), std::string::npos) << log;
}

TEST_F(TarvexdTest, UnconfiguredWithoutTerminalAndPortInUseFail) {
  ProgramResult unconfigured = Tarvexd({"--listen-address", "127.0.0.1"});
  EXPECT_EQ(unconfigured.status, 2);
  EXPECT_NE(unconfigured.err.find("tarvexd configure"), std::string::npos);

  const std::uint16_t port = testing::FindFreePort();
  Socket taken = ListenTcp("127.0.0.1", port, 1);
  Configure(port);
  ProgramResult busy = Tarvexd({"--listen-address", "127.0.0.1"});
  EXPECT_EQ(busy.status, 1);
  EXPECT_NE(busy.err.find("Failed to start Tarvex Message Service"), std::string::npos) << busy.err;
}

}  // namespace
}  // namespace tarvex
