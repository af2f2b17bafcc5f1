// Socket and poller behaviour that each platform provides in its own way
// (Windows: exclusive listeners, waits cut short by cancelling, WSAPoll over
// a list with a wake pair).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/poller.h"
#include "platform/socket.h"

namespace tarvex {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

class SocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.IsStarted());
    listener_ = ListenTcp("127.0.0.1", 0, 8);
    ASSERT_TRUE(listener_.IsValid());
  }

  // A connected pair: [0] the device side, [1] the accepted side.
  std::vector<Socket> Link() {
    std::vector<Socket> pair;
    pair.push_back(ConnectTcp("127.0.0.1", LocalPort(listener_)));
    EXPECT_EQ(WaitReadable(listener_, seconds(5)), WaitResult::kReady);
    pair.push_back(AcceptTcp(listener_));
    EXPECT_TRUE(pair[0].IsValid() && pair[1].IsValid());
    return pair;
  }

  SocketLibrary library_;  // outlives every socket
  Socket listener_;
};

// A listener sharing its port with another server would split the devices
// between them.
TEST_F(SocketTest, PortInUseIsRefusedWithItsReason) {
  const std::uint16_t port = LocalPort(listener_);
  for (const char* address : {"127.0.0.1", "0.0.0.0"}) {
    int error = 0;
    EXPECT_FALSE(ListenTcp(address, port, 8, &error).IsValid()) << address;
    EXPECT_EQ(DescribeListenError(error, port, address), "port " + std::to_string(port) + " is already in use");
  }
}

// Stopping the server shuts every session's link down through a duplicate;
// a session thread waiting on the original must return then, not at its
// time-out (nor never, for a receive without one).
TEST_F(SocketTest, ShutdownOfDuplicateEndsReceivesInOtherThreads) {
  std::vector<Socket> first = Link();
  std::vector<Socket> second = Link();
  Socket first_copy = DuplicateSocket(first[1]);
  Socket second_copy = DuplicateSocket(second[1]);
  ASSERT_TRUE(first_copy.IsValid() && second_copy.IsValid());
  char byte = 0;
  EXPECT_EQ(ReceiveAvailable(first[1], &byte, 1), kNothingYet);
  long blocked = 1;
  long waiting = 1;
  Clock::duration waited{};
  std::thread receiver([&] { blocked = ReceiveSome(first[1], &byte, 1); });
  std::thread waiter([&] {
    const Clock::time_point start = Clock::now();
    waiting = ReceiveSomeWithin(second[1], &byte, 1, seconds(60));
    waited = Clock::now() - start;
  });
  std::this_thread::sleep_for(milliseconds(200));
  ShutdownBoth(first_copy);
  ShutdownBoth(second_copy);
  receiver.join();
  waiter.join();
  EXPECT_LE(blocked, 0);
  EXPECT_LE(waiting, 0);
  EXPECT_LT(waited, seconds(30));
}

// The login loop relies on level-triggered readiness, on a wake from the
// stopping thread, and on every ready link getting its turn when more are
// ready than one wait takes.
TEST_F(SocketTest, PollerIsLevelTriggeredFairAndWakes) {
  Poller poller;
  ASSERT_TRUE(poller.IsValid());
  std::vector<Socket> a = Link();
  std::vector<Socket> b = Link();
  ASSERT_TRUE(poller.Add(a[1], 1));
  ASSERT_TRUE(poller.Add(b[1], 2));
  std::vector<std::uint64_t> ready;
  bool woken = true;
  ASSERT_TRUE(poller.Wait(milliseconds(50), 8, &ready, &woken));
  EXPECT_TRUE(ready.empty());
  EXPECT_FALSE(woken);

  ASSERT_EQ(SendSome(a[0], "x", 1), 1);
  ASSERT_EQ(SendSome(b[0], "y", 1), 1);
  std::vector<std::uint64_t> seen;
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(poller.Wait(seconds(5), 1, &ready, &woken));
    ASSERT_EQ(ready.size(), 1u);
    seen.push_back(ready[0]);
  }
  EXPECT_NE(seen[0], seen[1]) << "one ready link starved the other";
  ASSERT_TRUE(poller.Wait(seconds(5), 8, &ready, &woken));
  EXPECT_EQ(ready.size(), 2u) << "bytes still waiting must keep a link ready";

  poller.Remove(a[1]);
  poller.Remove(b[1]);
  std::thread waker([&] {
    std::this_thread::sleep_for(milliseconds(100));
    poller.Wake();
  });
  ASSERT_TRUE(poller.Wait(seconds(60), 8, &ready, &woken));
  waker.join();
  EXPECT_TRUE(woken);
  EXPECT_TRUE(ready.empty());
}

}  // namespace
}  // namespace tarvex
