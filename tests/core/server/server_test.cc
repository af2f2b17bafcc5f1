#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "client/device_link.h"
#include "core/server/session_activity.h"
#include "core/settings/server_settings.h"
#include "log/server_log.h"
#include "platform/event.h"
#include "support/descriptor_hog.h"
#include "support/server/server_fixture.h"

namespace tarvex {
namespace {

using testing::kLogin;
using testing::kPassword;
using testing::kReplyTimeout;

// Counters shared between a test and the sessions of its service.
struct SessionCounts {
  std::atomic<int> prepared{0};
  std::atomic<int> finished{0};
  std::mutex mutex;
  std::vector<int> numbers;  // session numbers, in the order prepared
};

// A service whose sessions answer code 2 with code 3 and end.
class EchoSession : public Session {
 public:
  explicit EchoSession(SessionCounts* counts) : counts_(counts) {}
  Status Prepare() override {
    std::lock_guard<std::mutex> lock(counts_->mutex);
    counts_->numbers.push_back(session_number);
    ++counts_->prepared;
    return 0;
  }
  Status Run() override {
    std::uint16_t code = 0;
    Status s = ReceiveHeader(connection.get(), &code, 100);
    SendHeader(connection.get(), 3);
    CloseConnection(connection.get());
    ++counts_->finished;
    return s;
  }

 private:
  SessionCounts* counts_;
};

class EchoService : public Service {
 public:
  explicit EchoService(SessionCounts* counts) : counts_(counts) {}
  std::uint16_t GetServiceId() const override { return kFileServiceId; }
  const std::string& GetServiceName() const override { return name_; }
  ActivityLog* GetServiceLog() override { return nullptr; }
  bool Configure() override { return false; }
  bool IsReady() override { return ready; }
  std::unique_ptr<Session> CreateSession() override { return std::make_unique<EchoSession>(counts_); }
  bool ready = true;

 private:
  SessionCounts* counts_;
  std::string name_ = "Echo";
};

// A device that holds its login open with an empty enciphered frame every
// `interval` and never sends the request.
class DripClient {
 public:
  DripClient(std::uint16_t port, std::chrono::milliseconds interval)
      : link_(ConnectToServer("127.0.0.1", port)) {
    KeyDeviceLink(link_.get(), kPassword);
    thread_ = std::thread([this, interval] {
      while (!stop_.Wait(interval) && SendBytes(link_.get(), "", 0) == 0) {
      }
    });
  }
  ~DripClient() {
    stop_.Set();
    thread_.join();
  }

 private:
  std::unique_ptr<Connection> link_;
  ManualResetEvent stop_;
  std::thread thread_;
};

// True when the server closes the link within a few seconds.
bool ClosedByServer(const Connection& link) {
  const Socket& socket = link.Holder()->socket;
  char byte;
  return WaitReadable(socket, 3) == WaitResult::kReady && ReceiveSome(socket, &byte, 1) == 0;
}

class ServerTest : public testing::ServerFixture {
 protected:
  // Connections that never send a byte, each accepted as a pending login.
  std::vector<std::unique_ptr<Connection>> OpenSilent(std::size_t count) {
    std::vector<std::unique_ptr<Connection>> links;
    for (std::size_t i = 0; i < count; ++i) links.push_back(ConnectToServer("127.0.0.1", port_));
    EXPECT_TRUE(testing::WaitUntil([&] { return server_->PendingLogins() == count; }));
    return links;
  }
  bool FailedLoginLogged(int session_number) {
    return WaitForServerLog("Begin Session FAILED - Session [" + std::to_string(session_number) + "]");
  }

  std::vector<Server::ServiceFactory> Echo() {
    return {[this] { return std::make_unique<EchoService>(&counts_); }};
  }
  ServerOptions ShortLogin() {
    ServerOptions options;
    options.login_timeout = 10;
    return options;
  }
  SessionCounts counts_;
};

TEST_F(ServerTest, EveryLoginIsAnsweredLoggedAndNumberedInAcceptOrder) {
  StartWith(Echo(), ShortLogin());
  // 1 to 3: keyed with the right password; only the request's fields differ.
  const std::string cases[][2] = {{kLogin, "wrongpass"}, {"stranger", kPassword}, {"PalmUser", kPassword}};
  for (const auto& [login, password] : cases) {
    auto link = ConnectToServer("127.0.0.1", port_);
    ASSERT_EQ(KeyDeviceLink(link.get(), kPassword), 0);
    ASSERT_EQ(SendBytes(link.get(), MakeLoginRequest(kFileServiceId, login, password)), 0);
    std::uint16_t status = 0;
    ASSERT_EQ(ReceiveAuthReply(link.get(), &status, kReplyTimeout), 0);
    EXPECT_EQ(status, kAuthWrongCredentials) << login << "/" << password;
    auto newest = server_->Log().GetRecord(0);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->GetField(4), "Invalid Login Name and/or password");
    EXPECT_EQ(newest->GetField(2), login);
    EXPECT_EQ(newest->GetField(1), "Server");
    EXPECT_EQ(newest->GetField(3), "2");
  }
  auto silent = OpenSilent(1);                                // 4, still logging in below
  EXPECT_TRUE(LogInAs(kLogin, kPassword).Accepted());         // 5
  EXPECT_FALSE(LogInAs(kLogin, "otherpassword").Accepted());  // 6, keyed with another password
  // The silent device gets no reply; it is logged after the login time-out,
  // and 6 is logged one way or the other.
  EXPECT_TRUE(ClosedByServer(*silent[0]));
  EXPECT_TRUE(FailedLoginLogged(4));
  ASSERT_TRUE(testing::WaitUntil([&] { return server_->Log().GetCount() == 6; }));
  EXPECT_EQ(LogInAs(kLogin, kPassword, 4).auth_status, kAuthUnknownService);  // 7, not logged
  EXPECT_EQ(server_->Log().GetCount(), 6);
  EXPECT_TRUE(LogInAs(kLogin, kPassword).Accepted());  // 8
  {
    DripClient drip(port_, std::chrono::milliseconds(200));  // 9, cut off at the whole-login limit
    EXPECT_TRUE(FailedLoginLogged(9));
  }
  ASSERT_TRUE(testing::WaitUntil([&] { return counts_.prepared == 2; }));
  std::lock_guard<std::mutex> lock(counts_.mutex);
  EXPECT_EQ(counts_.numbers, (std::vector<int>{5, 8}));
  EXPECT_EQ(server_->SessionCounter(), 10);
}

TEST_F(ServerTest, NoUnauthenticatedClientDelaysARealLogin) {
  StartWith(Echo());  // the full 40-second login time-out
  auto silent = OpenSilent(50);
  DripClient drip(port_, std::chrono::seconds(1));
  // A device keyed with another password: its request deciphers to a block
  // longer than it sent.
  auto wrong_key = ConnectToServer("127.0.0.1", port_);
  KeyDeviceLink(wrong_key.get(), "otherpassword");
  SendBytes(wrong_key.get(), MakeLoginRequest(kFileServiceId, kLogin, "otherpassword"));
  ASSERT_TRUE(testing::WaitUntil([&] { return server_->PendingLogins() == 52; }));
  // The device waits one second for its reply.
  EXPECT_TRUE(LogIn("127.0.0.1", port_, kLogin, kPassword, kFileServiceId, 10).Accepted());
}

TEST_F(ServerTest, PendingLoginsAreBoundedAPlaceThatFreesIsTakenAndAStopEndsThemAtOnce) {
  StartWith(Echo());
  auto silent = OpenSilent(kMaxPendingLogins);
  auto refused = ConnectToServer("127.0.0.1", port_);
  EXPECT_TRUE(ClosedByServer(*refused));
  EXPECT_TRUE(FailedLoginLogged(static_cast<int>(kMaxPendingLogins) + 1));

  // A device that arrives while all places are taken gets the first that
  // frees, as the devices of a burst do.
  auto device = ConnectToServer("127.0.0.1", port_);
  ASSERT_EQ(KeyDeviceLink(device.get(), kPassword), 0);
  ASSERT_EQ(SendBytes(device.get(), MakeLoginRequest(kFileServiceId, kLogin, kPassword)), 0);
  silent.erase(silent.begin());  // its login fails at once
  std::uint16_t status = 1;
  ASSERT_EQ(ReceiveAuthReply(device.get(), &status, kReplyTimeout), 0);
  EXPECT_EQ(status, kAuthAccepted);

  server_->StopServer();
  for (const auto& link : silent) EXPECT_TRUE(ClosedByServer(*link));
  EXPECT_TRUE(testing::WaitUntil([&] { return server_->PendingLogins() == 0; }));
  ASSERT_TRUE(server_->StartServer());
  EXPECT_TRUE(LogInAs(kLogin, kPassword).Accepted());
}

TEST_F(ServerTest, RunningOutOfDescriptorsLogsOncePerBurstAndRecovers) {
  StartWith(Echo());
  std::unique_ptr<Connection> device;
  {
    // Nothing here may need a descriptor (the sanitizers' checks do).
    testing::DescriptorHog hog;
    hog.Free(1);  // room for the device's socket, none for the server's
    device = ConnectToServer("127.0.0.1", port_);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // several failed accepts
  }
  ASSERT_TRUE(device);
  ASSERT_EQ(KeyDeviceLink(device.get(), kPassword), 0);
  ASSERT_EQ(SendBytes(device.get(), MakeLoginRequest(kFileServiceId, kLogin, kPassword)), 0);
  std::uint16_t status = 1;
  ASSERT_EQ(ReceiveAuthReply(device.get(), &status, kReplyTimeout), 0);
  EXPECT_EQ(status, kAuthAccepted);
  const std::vector<std::string> expected = {"Server Started", "Begin Session FAILED - Session [1]"};
  EXPECT_EQ(ServerLogDescriptions(), expected);
  ASSERT_TRUE(testing::WaitUntil([&] { return counts_.prepared == 1; }));
  std::lock_guard<std::mutex> lock(counts_.mutex);
  EXPECT_EQ(counts_.numbers, std::vector<int>{2});
}

TEST_F(ServerTest, RestartsOnItsPortAndDestroyingItEndsRunningSessions) {
  StartWith(Echo());
  EXPECT_FALSE(server_->StartServer());  // already running
  EXPECT_TRUE(server_->StopServer());
  EXPECT_FALSE(server_->IsRunning());
  EXPECT_TRUE(server_->StopServer());  // stopped already: nothing logged
  ASSERT_TRUE(server_->StartServer());
  LoginOutcome login = LogInAs(kLogin, kPassword);
  ASSERT_TRUE(login.Accepted());
  const std::vector<std::string> expected = {"Server Started", "Server Stopped", "Server Started"};
  EXPECT_EQ(ServerLogDescriptions(), expected);
  ASSERT_TRUE(testing::WaitUntil([&] { return counts_.prepared == 1; }));
  server_.reset();  // must not wait for the session's own 10-second receive
  EXPECT_EQ(counts_.finished, 1);
}

TEST_F(ServerTest, AServiceNotReadyBlocksTheStartEvenAfterTheFirstRunFilledInTheSettings) {
  MakeServer({[] {
    auto service = std::make_unique<EchoService>(nullptr);
    service->ready = false;
    return service;
  }});
  server_->SetFirstRunHandler([&](ServerSettings& settings) {
    settings.SetPort(port_);
    settings.SetLogin(kLogin);
    settings.SetPassword(kPassword);
  });
  EXPECT_FALSE(server_->StartServer());
  EXPECT_EQ(server_->Log().GetCount(), 0);
}

TEST_F(ServerTest, AFailedStartSaysWhyAndARunningSessionIsListedWithItsAddress) {
  WriteSettings(port_, kLogin, kPassword);
  MakeServer(Echo());
  {
    Socket taken = ListenTcp("127.0.0.1", port_, 1);
    ASSERT_TRUE(taken.IsValid());
    EXPECT_FALSE(server_->StartServer());
    const std::string reason = "port " + std::to_string(port_) + " is already in use";
    EXPECT_EQ(server_->StartFailure(), reason);
    EXPECT_EQ(ServerLogDescriptions(),
              std::vector<std::string>{"Failed to start Tarvex Message Service: " + reason});
  }
  ASSERT_TRUE(server_->StartServer());
  EXPECT_EQ(server_->StartFailure(), "");
  EXPECT_EQ(server_->Port(), port_);
  LoginOutcome login = LogInAs(kLogin, kPassword);  // its link holds the session open
  ASSERT_TRUE(login.Accepted());
  ASSERT_TRUE(testing::WaitUntil([&] { return server_->Activity().RunningCount() == 1; }));
  const std::vector<SessionInfo> sessions = server_->Activity().Snapshot();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0].user, kLogin);
  EXPECT_EQ(sessions[0].address, "127.0.0.1");
  EXPECT_EQ(sessions[0].doing, SessionDoing::kIdle);
}

TEST(SessionActivityTest, ATransferShowsItsBytesUntilItEndsAndAnEndedSessionIsKeptOnlyBriefly) {
  SessionActivity activity(std::chrono::milliseconds(300));
  ActivityReporter reporter = activity.Begin(7, "palmuser", "127.0.0.2");
  reporter.SetUser("ann");
  reporter.Begin(SessionDoing::kReceiving, "a.bin", 1000);
  reporter.Progress(400);
  std::vector<SessionInfo> now = activity.Snapshot();
  ASSERT_EQ(now.size(), 1u);
  EXPECT_EQ(now[0].user, "ann");
  EXPECT_EQ(DescribeDoing(now[0].doing, now[0].name), "receiving a.bin");
  EXPECT_EQ(now[0].done, 400u);
  EXPECT_EQ(now[0].total, 1000u);
  EXPECT_FALSE(now[0].transfer_ended);
  // A listing after the transfer leaves the last transfer's figures readable.
  reporter.Finish();
  reporter.Begin(SessionDoing::kListing);
  now = activity.Snapshot();
  EXPECT_EQ(DescribeDoing(now[0].doing, now[0].name), "listing");
  EXPECT_EQ(now[0].done, 400u);
  EXPECT_TRUE(now[0].transfer_ended);

  activity.End(7);
  EXPECT_EQ(activity.RunningCount(), 0u);
  now = activity.Snapshot();
  ASSERT_EQ(now.size(), 1u);
  EXPECT_TRUE(now[0].ended);
  EXPECT_EQ(now[0].doing, SessionDoing::kIdle);
  EXPECT_TRUE(testing::WaitUntil([&] { return activity.Snapshot().empty(); }));
  // A session run without a server reports into nothing.
  ActivityReporter none;
  none.Begin(SessionDoing::kSending, "b.bin", 5);
  none.Progress(5);
  none.Finish();
}

}  // namespace
}  // namespace tarvex
