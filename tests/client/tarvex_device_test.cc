#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/child_process.h"
#include "support/server/server_fixture.h"
#include "support/program_env.h"

namespace tarvex {
namespace {

// tarvex-device against a real tarvexd on a loopback port.
class TarvexDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Add("TARVEX_PASSWORD=secret42");
    port_ = std::to_string(testing::FindFreePort());
    ProgramResult configured =
        RunProgram(TARVEXD_PATH,
                   {"configure", "--port", port_, "--login", "palm", "--password-stdin", "--root-dir",
                    dir_.File("exchange")},
                   env_, "secret42\n");
    ASSERT_EQ(configured.status, 0) << configured.err;
    server_ = std::make_unique<ChildProcess>(TARVEXD_PATH, std::vector<std::string>{"--listen-address", "127.0.0.1"}, env_);
    ASSERT_TRUE(testing::WaitUntil([&] { return server_->Errors().find("Server Started") != std::string::npos; }))
        << server_->Errors();
  }
  void TearDown() override {
    server_->Signal();
    EXPECT_EQ(server_->Wait(std::chrono::seconds(20)), 0);
  }
  ProgramResult Device(std::vector<std::string> command, const std::string& login = "palm") {
    std::vector<std::string> args = {"--port", port_, "--login", login};
    args.insert(args.end(), command.begin(), command.end());
    return RunProgram(TARVEX_DEVICE_PATH, args, env_);
  }

  testing::ProgramEnvironment world_;
  const testing::TempDir& dir_ = world_.Dir();
  const std::vector<std::string>& env_ = world_.Env();
  std::string port_;
  std::unique_ptr<ChildProcess> server_;
};

TEST_F(TarvexDeviceTest, EveryCommandAndEveryFailureAgainstTheHeadlessServer) {
  ProgramResult info = Device({"info"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out, "<QLXServerVersion=1.20>\n");

  EXPECT_EQ(Device({"users"}).out, "");
  EXPECT_EQ(Device({"add-user", "Ann", "first"}).out, "1\n");
  EXPECT_EQ(Device({"add-user", "Bob"}).out, "2\n");
  ProgramResult duplicate = Device({"add-user", "ANN"});
  EXPECT_NE(duplicate.status, 0);
  EXPECT_NE(duplicate.err.find("exists"), std::string::npos);
  EXPECT_EQ(Device({"users"}).out, "1 Ann\n2 Bob\n");

  ProgramResult dir = Device({"user-dir", "2"});
  EXPECT_EQ(dir.out, dir_.File("exchange") + "/Bob/\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("exchange") + "/Bob"));
  ProgramResult none = Device({"user-dir", "9"});
  EXPECT_NE(none.status, 0);
  EXPECT_NE(none.err.find("no directory"), std::string::npos);

  const std::string exchange = dir_.File("exchange") + "/";
  std::string content(70000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 241);
  testing::WriteFile(dir_.File("local.bin"), content);

  ProgramResult put = Device({"put", dir_.File("local.bin"), dir_.File("exchange"), "--name", "report.bin"});
  EXPECT_EQ(put.status, 0) << put.err;
  EXPECT_EQ(put.out, exchange + "report.bin (70000 bytes)\n");
  EXPECT_EQ(put.err, "") << "no progress without a terminal";
  EXPECT_EQ(testing::ReadFile(exchange + "report.bin"), content);

  ProgramResult ls = Device({"ls", exchange});
  EXPECT_EQ(ls.status, 0) << ls.err;
  EXPECT_TRUE(ls.out.starts_with("d ")) << ls.out;
  EXPECT_NE(ls.out.find("      70000 report.bin\n"), std::string::npos) << ls.out;

  const std::string copy = dir_.File("copy.bin");
  ProgramResult get = Device({"get", exchange, "report.bin", "-o", copy, "--track", "--user", "1"});
  EXPECT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(testing::ReadFile(copy), content);
  ProgramResult tracked = Device({"tracked", "1"});
  EXPECT_NE(tracked.out.find(" 70000 " + exchange + "report.bin\n"), std::string::npos) << tracked.out;
  EXPECT_TRUE(Device({"drives"}).out.starts_with("/\n"));

  // Failures name the status the server gave; a failed get leaves no file.
  ProgramResult missing = Device({"get", exchange, "absent.bin", "-o", dir_.File("absent.bin")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("(status 1: file not found)"), std::string::npos) << missing.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("absent.bin")));
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }
  ProgramResult bad_path = Device({"put", dir_.File("local.bin"), exchange + "no/such/dir"});
  EXPECT_EQ(bad_path.status, 1);
  EXPECT_NE(bad_path.err.find("(status 3: bad path)"), std::string::npos) << bad_path.err;
  EXPECT_EQ(Device({"get", exchange, "x", "--track"}).status, 2);

  ProgramResult refused = Device({"info"}, "intruder");
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.err.find("wrong login name or password"), std::string::npos) << refused.err;

  // A wrong password is told within a second: the server cannot read the
  // request and closes the link at once.
  const auto start = std::chrono::steady_clock::now();
  ProgramResult wrong_password =
      RunProgram(TARVEX_DEVICE_PATH, {"--port", port_, "--login", "palm", "--password-stdin", "info"}, env_,
                 "wrong password\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(wrong_password.status, 3);
  EXPECT_NE(wrong_password.err.find("the login name or password is wrong"), std::string::npos) << wrong_password.err;
  EXPECT_TRUE(testing::WaitUntil([&] {
    return server_->Errors().find("Invalid Login Name and/or password from 127.0.0.1") != std::string::npos;
  })) << server_->Errors();

  ProgramResult usage = Device({"frobnicate"});
  EXPECT_EQ(usage.status, 2);

  ProgramResult closed = RunProgram(TARVEX_DEVICE_PATH,
                                    {"--port", std::to_string(testing::FindFreePort()), "--login", "palm", "info"},
                                    env_);
  EXPECT_EQ(closed.status, 1);
  EXPECT_NE(closed.err.find("cannot connect"), std::string::npos);
}

}  // namespace
}  // namespace tarvex
