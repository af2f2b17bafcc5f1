#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "client/device_link.h"
#include "core/server/session_activity.h"
#include "core/server/source_penalties.h"
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

// A service whose sessions answer code 2 with code 3 and end (or end after
// a minute of silence).
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
    Status s = ReceiveHeader(connection.get(), &code, 600);
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
  DripClient(std::uint16_t port, std::chrono::milliseconds interval, const std::string& from = "127.0.0.1")
      : link_(ConnectToServer("127.0.0.1", port, from)) {
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

// True when the server closes the link within `seconds`.
bool ClosedByServer(const Connection& link, int seconds = 3) {
  const Socket& socket = link.Holder()->socket;
  char byte;
  return WaitReadable(socket, seconds) == WaitResult::kReady && ReceiveSome(socket, &byte, 1) <= 0;
}

using Clock = std::chrono::steady_clock;

class ServerTest : public testing::ServerFixture {
 protected:
  // Sessions still running use counts_: the server goes first.
  void TearDown() override { server_.reset(); }

  // Connections from `from` that never send a byte.
  std::vector<std::unique_ptr<Connection>> OpenSilent(std::size_t count, const std::string& from = "127.0.0.1") {
    std::vector<std::unique_ptr<Connection>> links;
    for (std::size_t i = 0; i < count; ++i) links.push_back(ConnectToServer("127.0.0.1", port_, from));
    return links;
  }
  bool PendingReach(std::size_t count) {
    return testing::WaitUntil([&] { return server_->PendingLogins() == count; });
  }
  bool FailedLoginLogged(int session_number, const std::string& from = "127.0.0.1") {
    return WaitForServerLog("Begin Session FAILED - Session [" + std::to_string(session_number) + "] from " + from);
  }
  // A login from `from` whose device waits one second for its reply.
  LoginOutcome LogInFrom(const std::string& from, const std::string& password = kPassword) {
    return LogIn("127.0.0.1", port_, kLogin, password, kFileServiceId, 10, from);
  }
  bool LogsInWithinASecond(const std::string& from) {
    const auto start = Clock::now();
    return LogInFrom(from).Accepted() && Clock::now() - start < std::chrono::seconds(1);
  }
  std::size_t LoggedCount(const std::string& description) {
    const std::vector<std::string> logged = ServerLogDescriptions();
    return static_cast<std::size_t>(std::count(logged.begin(), logged.end(), description));
  }

  std::vector<Server::ServiceFactory> Echo() {
    return {[this] { return std::make_unique<EchoService>(&counts_); }};
  }
  static ServerOptions ShortPenalties() {
    return {.penalties = {.first = std::chrono::seconds(1), .longest = std::chrono::seconds(4)}};
  }
  SessionCounts counts_;
};

TEST_F(ServerTest, EveryLoginIsAnsweredLoggedWithItsAddressAndNumberedInAcceptOrder) {
  StartWith(Echo(), {.login_timeout = 10, .penalties = {}});
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
    const std::vector<std::string> fields = {"Server", login, "2", "Invalid Login Name and/or password from 127.0.0.1"};
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(newest->GetField(i), fields[static_cast<std::size_t>(i - 1)]);
  }
  auto silent = OpenSilent(1);                         // 4, still logging in below
  EXPECT_TRUE(LogInAs(kLogin, kPassword).Accepted());  // 5
  // 6, keyed with another password: closed at once, unanswered.
  const auto start = Clock::now();
  EXPECT_TRUE(LogInFrom("127.0.0.2", "otherpassword").closed_unanswered);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(WaitForServerLog("Invalid Login Name and/or password from 127.0.0.2"));
  // The silent device gets no reply; it is logged after the login time-out.
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

TEST_F(ServerTest, SilentAndDrippingConnectionsOfOneSourceOrOfSixteenDelayNoOtherLogin) {
  StartWith(Echo());  // the full 40-second login time-out
  DripClient drip1(port_, std::chrono::milliseconds(300), "127.0.0.2");
  DripClient drip2(port_, std::chrono::milliseconds(300), "127.0.0.2");
  auto silent = OpenSilent(300, "127.0.0.2");
  for (int source = 1; source < 16; ++source) {
    for (auto& link : OpenSilent(40, "127.0.1." + std::to_string(source))) silent.push_back(std::move(link));
  }
  ASSERT_TRUE(PendingReach(16 * kMaxPendingPerSource));
  EXPECT_TRUE(LogsInWithinASecond("127.0.0.3"));
  EXPECT_TRUE(LogsInWithinASecond("127.0.0.3"));
}

TEST_F(ServerTest, PendingLoginsAreBoundedPerSourceTheBusiestSourceMakesRoomAndAStopEndsThemAtOnce) {
  StartWith(Echo(), {.max_pending_logins = kMaxPendingPerSource + 4, .penalties = {}});
  auto crowd = OpenSilent(kMaxPendingPerSource, "127.0.0.2");
  ASSERT_TRUE(PendingReach(kMaxPendingPerSource));
  // The 17th of the source is closed at once, and logged once.
  const auto start = Clock::now();
  auto over = OpenSilent(2, "127.0.0.2");
  for (const auto& link : over) EXPECT_TRUE(ClosedByServer(*link, 1));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(LoggedCount("Too many logins in progress (16): further connections closed from 127.0.0.2"), 1u);

  // At the global limit the oldest login of the busiest source goes, not a
  // newcomer from a quiet one.
  auto quiet = OpenSilent(4, "127.0.0.3");
  ASSERT_TRUE(PendingReach(kMaxPendingPerSource + 4));
  EXPECT_TRUE(LogInFrom("127.0.0.4").Accepted());
  EXPECT_TRUE(ClosedByServer(*crowd[0], 1));
  EXPECT_TRUE(FailedLoginLogged(1, "127.0.0.2"));
  for (const auto& link : quiet) EXPECT_FALSE(ClosedByServer(*link, 0));

  server_->StopServer();
  for (std::size_t i = 1; i < crowd.size(); ++i) EXPECT_TRUE(ClosedByServer(*crowd[i], 1));
  for (const auto& link : quiet) EXPECT_TRUE(ClosedByServer(*link, 1));
  EXPECT_TRUE(PendingReach(0));
  ASSERT_TRUE(server_->StartServer());
  EXPECT_TRUE(LogInAs(kLogin, kPassword).Accepted());
}

TEST_F(ServerTest, FiveFailuresShutOutTheirSourceOnlyUntilThePenaltyEndsAndASuccessClearsIt) {
  StartWith(Echo(), ShortPenalties());
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(LogInFrom("127.0.0.2", "guess" + std::to_string(i)).closed_unanswered);
  // Refused at accept, even with the right password; logged once.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(LogInFrom("127.0.0.2").closed_unanswered);
  EXPECT_EQ(LoggedCount("Connections refused for 1 s after 5 failed logins in a row from 127.0.0.2"), 1u);
  EXPECT_TRUE(LogInFrom("127.0.0.3").Accepted());

  // After the penalty one more failure doubles it.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_TRUE(LogInFrom("127.0.0.2", "guess5").closed_unanswered);
  EXPECT_TRUE(LogInFrom("127.0.0.2").closed_unanswered);
  EXPECT_EQ(LoggedCount("Connections refused for 2 s after 6 failed logins in a row from 127.0.0.2"), 1u);

  // A success clears the source: five more failures are needed again.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  EXPECT_TRUE(LogInFrom("127.0.0.2").Accepted());
  for (int i = 0; i < 4; ++i) LogInFrom("127.0.0.2", "again" + std::to_string(i));
  EXPECT_TRUE(LogInFrom("127.0.0.2").Accepted());
}

// A device still keyed with the old password after a change.
TEST_F(ServerTest, AChangedPasswordHoldsAtOnceAndTheOldOneRepeatedCountsOnceAndIsToldAtOnce) {
  StartWith(Echo(), ShortPenalties());
  ASSERT_TRUE(LogInFrom("127.0.0.3").Accepted());
  ASSERT_TRUE(server_->Settings().SetPassword("newpassword"));
  const auto start = Clock::now();
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(LogInFrom("127.0.0.2").closed_unanswered);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(LoggedCount("Invalid Login Name and/or password from 127.0.0.2"), 1u);
  EXPECT_TRUE(LogInFrom("127.0.0.2", "newpassword").Accepted());
}

TEST_F(ServerTest, SessionsAreCappedTheNextLoginIsRefusedAndLoggedAndAPlaceThatFreesIsTaken) {
  StartWith(Echo());
  std::vector<std::unique_ptr<Connection>> devices;
  for (std::size_t i = 0; i < kMaxSessions; ++i) {
    LoginOutcome login = LogInAs(kLogin, kPassword);
    ASSERT_TRUE(login.Accepted()) << i;
    devices.push_back(std::move(login.connection));
  }
  ASSERT_TRUE(testing::WaitUntil([&] { return server_->RunningSessions() == kMaxSessions; }));
  EXPECT_TRUE(LogInAs(kLogin, kPassword).closed_unanswered);
  EXPECT_TRUE(WaitForServerLog("Login refused: 256 sessions are running - Session [257] from 127.0.0.1"));

  ASSERT_EQ(SendHeader(devices[0].get(), 2), 0);  // its session ends
  ASSERT_TRUE(testing::WaitUntil([&] { return server_->RunningSessions() == kMaxSessions - 1; }));
  EXPECT_TRUE(LogInAs(kLogin, kPassword).Accepted());
  server_.reset();  // ends and joins every session thread
  EXPECT_EQ(counts_.finished, static_cast<int>(kMaxSessions) + 1);
}

TEST_F(ServerTest, RunningOutOfDescriptorsLogsOncePerBurstAndRecovers) {
  StartWith(Echo());
  // The log's first save is behind us: the sanitizers check a type the first
  // time it is used, and that check needs descriptors the hog takes.
  ASSERT_TRUE(testing::WaitUntil(
      [] { return testing::ReadFile("TSServerLog.txt").find("Server Started") != std::string::npos; }));
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
  EXPECT_EQ(ServerLogDescriptions(), (std::vector<std::string>{"Server Started", "Begin Session FAILED - Session [1]"}));
  ASSERT_TRUE(testing::WaitUntil([&] { return counts_.prepared == 1; }));
  std::lock_guard<std::mutex> lock(counts_.mutex);
  EXPECT_EQ(counts_.numbers, std::vector<int>{2});
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

TEST_F(ServerTest, AFailedStartSaysWhyARestartServesAgainAndDestroyingItEndsRunningSessions) {
  ASSERT_TRUE(testing::WriteServerSettings(data_dir_, port_, kLogin, kPassword));
  MakeServer(Echo());
  const std::string failure = "Failed to start Tarvex Message Service: port " + std::to_string(port_) +
                              " is already in use";
  {
    Socket taken = ListenTcp("127.0.0.1", port_, 1);
    ASSERT_TRUE(taken.IsValid());
    EXPECT_FALSE(server_->StartServer());
    EXPECT_EQ("Failed to start Tarvex Message Service: " + server_->StartFailure(), failure);
  }
  ASSERT_TRUE(server_->StartServer());
  EXPECT_EQ(server_->StartFailure(), "");
  EXPECT_FALSE(server_->StartServer());  // already running
  server_->StopServer();
  server_->StopServer();  // stopped already: nothing logged
  ASSERT_TRUE(server_->StartServer());
  EXPECT_EQ(server_->Port(), port_);
  LoginOutcome login = LogInAs(kLogin, kPassword);  // its link holds the session open
  ASSERT_TRUE(login.Accepted());
  const std::vector<std::string> expected = {failure, "Server Started", "Server Stopped", "Server Started"};
  EXPECT_EQ(ServerLogDescriptions(), expected);
  ASSERT_TRUE(testing::WaitUntil([&] { return server_->Activity().RunningCount() == 1; }));
  EXPECT_EQ(server_->Activity().Snapshot().at(0).user, kLogin);
  ASSERT_TRUE(testing::WaitUntil([&] { return counts_.prepared == 1; }));
  server_.reset();  // must not wait for the session's own one-minute receive
  EXPECT_EQ(counts_.finished, 1);
}

using std::chrono::seconds;
using Counted = SourcePenalties::Counted;

// The rules of the penalty table alone, on a clock of the test's own.

PenaltyRules Rules(std::size_t capacity = 100) {
  return {.first = seconds(10), .longest = seconds(40), .capacity = capacity};
}

TEST(SourcePenaltiesTest, TheFifthFailureStartsAPenaltyThatDoublesToTheLongestAndASuccessClears) {
  SourcePenalties table(Rules());
  const auto t0 = std::chrono::steady_clock::now();
  for (std::uint64_t i = 0; i < 4; ++i) EXPECT_EQ(table.Fail("10.0.0.1", i, t0), Counted::kCounted);
  // A time-out carries no login bytes and always counts.
  EXPECT_EQ(table.Fail("10.0.0.1", std::nullopt, t0), Counted::kPenaltyStarted);
  EXPECT_TRUE(table.IsPenalised("10.0.0.1", t0 + seconds(9)));
  EXPECT_FALSE(table.IsPenalised("10.0.0.1", t0 + seconds(10)));

  auto t = t0 + seconds(11);
  EXPECT_EQ(table.Fail("10.0.0.1", 7, t), Counted::kPenaltyStarted);
  EXPECT_EQ(table.PenaltyLength("10.0.0.1", t), seconds(20));
  // The same login byte for byte again does not count.
  EXPECT_EQ(table.Fail("10.0.0.1", 7, t), Counted::kRepeat);
  EXPECT_EQ(table.Fail("10.0.0.1", 8, t), Counted::kPenaltyStarted);
  EXPECT_EQ(table.PenaltyLength("10.0.0.1", t), seconds(40));
  EXPECT_EQ(table.Fail("10.0.0.1", 9, t), Counted::kPenaltyStarted);
  EXPECT_EQ(table.PenaltyLength("10.0.0.1", t), seconds(40));
  EXPECT_EQ(table.Failures("10.0.0.1", t), 8);

  table.Succeed("10.0.0.1");
  EXPECT_FALSE(table.IsPenalised("10.0.0.1", t));
  EXPECT_EQ(table.Fail("10.0.0.1", 9, t), Counted::kCounted);
}

TEST(SourcePenaltiesTest, AFullTableForgetsTheEntryThatExpiresFirstAndOldEntriesAreForgotten) {
  SourcePenalties table(Rules(2));
  const auto t0 = std::chrono::steady_clock::now();
  for (std::uint64_t i = 0; i < 5; ++i) table.Fail("a", i, t0);  // penalised: kept longest
  table.Fail("b", 1, t0 + seconds(1));
  table.Fail("c", 1, t0 + seconds(2));  // the table is full: "b" goes first
  EXPECT_TRUE(table.IsPenalised("a", t0 + seconds(2)));
  EXPECT_EQ(table.Failures("b", t0 + seconds(2)), 0);
  EXPECT_EQ(table.Failures("c", t0 + seconds(2)), 1);
  // Forgotten the longest penalty after the last failure.
  EXPECT_EQ(table.Failures("c", t0 + seconds(42)), 0);
  EXPECT_EQ(table.Failures("a", t0 + seconds(49)), 5);
}

}  // namespace
}  // namespace tarvex
