#include "platform/stop_signals.h"

#include <gtest/gtest.h>

#include <csignal>

#include "platform/spawned_process.h"

namespace tarvex {
namespace {

using std::chrono::milliseconds;

// A request from another process must reach Wait (on Windows through a named
// event, which a wrong name or a lost wake-up would drop), and only once.
TEST(StopSignalsTest, ARequestToStopReachesTheWaiterOnce) {
  StopSignals stops;
  EXPECT_EQ(stops.WaitFor(milliseconds(20)), 0);
  ASSERT_TRUE(StopSignals::RequestStop(OwnProcessId()));
  EXPECT_EQ(stops.WaitFor(std::chrono::seconds(10)), SIGTERM);
  EXPECT_EQ(stops.WaitFor(milliseconds(20)), 0);
}

}  // namespace
}  // namespace tarvex
