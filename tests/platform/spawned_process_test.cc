#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>

#include "platform/spawned_process.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(RunSpawnedTest, CollectsOutputsAndKillsAProgramThatOverrunsItsLimit) {
  SpawnResult env = RunSpawned("env", {}, {"TARVEX_PROBE=a b;c"}, seconds(10));
  ASSERT_TRUE(env.started);
  EXPECT_EQ(env.status, 0);
  EXPECT_NE(env.out.find("\nTARVEX_PROBE=a b;c\n"), std::string::npos) << "arguments are never interpreted";

  const auto start = std::chrono::steady_clock::now();
  SpawnResult slow = RunSpawned("sleep", {"30"}, {}, milliseconds(300));
  EXPECT_TRUE(slow.timed_out);
  EXPECT_EQ(slow.status, 128 + SIGKILL);
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));

  SpawnResult missing = RunSpawned("/no/such/program", {}, {}, seconds(1));
  EXPECT_FALSE(missing.started);
  EXPECT_NE(missing.error, 0);
}

TEST(SpawnedProcessTest, ChildStopsOnSigtermEvenWhenThisProcessBlocksIt) {
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, nullptr), 0);
  std::optional<SpawnedProcess> child = SpawnedProcess::Start("sleep", {"30"}, {});
  ASSERT_TRUE(child);
  EXPECT_FALSE(child->Poll());
  EXPECT_EQ(child->Stop(seconds(10)), 128 + SIGTERM) << "it ended at SIGTERM, not at the SIGKILL after";
}

}  // namespace
}  // namespace tarvex
