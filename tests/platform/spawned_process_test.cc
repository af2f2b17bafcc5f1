#include <gtest/gtest.h>

#include <signal.h>

#include <string>

#include "platform/spawned_process.h"

namespace tarvex {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(RunSpawnedTest, CollectsOutputsAndKillsAProgramThatOverrunsItsLimit) {
  SpawnResult env = RunSpawned("env", {}, {"TARVEX_PROBE=a b;c"}, seconds(10));
  ASSERT_TRUE(env.started);
  EXPECT_EQ(env.status, 0);
  EXPECT_NE(env.out.find("\nTARVEX_PROBE=a b;c\n"), std::string::npos) << "arguments are never interpreted";

  SpawnResult slow = RunSpawned("sleep", {"30"}, {}, milliseconds(300));
  EXPECT_TRUE(slow.timed_out);
  EXPECT_EQ(slow.status, 128 + SIGKILL);

  SpawnResult missing = RunSpawned("/no/such/program", {}, {}, seconds(1));
  EXPECT_FALSE(missing.started);
  EXPECT_NE(missing.error, 0);
}

TEST(RunSpawnedTest, FeedsInputPastWhatAPipeHoldsAndOutlivesAChildThatStopsReading) {
  const std::string input(std::size_t{1} << 20, 'x');
  SpawnResult copied = RunSpawned("cat", {}, {}, seconds(20), input);
  EXPECT_FALSE(copied.timed_out) << "input and output waited on each other";
  EXPECT_EQ(copied.out.size(), input.size());
  // head leaves most of the input unread; what is written after it ends
  // must not raise SIGPIPE in this process.
  SpawnResult cut = RunSpawned("head", {"-c", "3"}, {}, seconds(20), input);
  EXPECT_EQ(cut.status, 0);
  EXPECT_EQ(cut.out, "xxx");
}

TEST(SpawnedProcessTest, ChildStartsWithDefaultSignalsWhateverThisProcessBlocksOrIgnores) {
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, nullptr), 0);
  struct sigaction ignore {};
  struct sigaction old {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &old);
  const SpawnResult status = RunSpawned("grep", {"^Sig[BI][lg][kn]", "/proc/self/status"}, {}, seconds(10));
  sigaction(SIGPIPE, &old, nullptr);
  const std::string& out = status.out;
  EXPECT_EQ(out.substr(0, 24), "SigBlk:\t0000000000000000") << out;
  // Of signals 1 to 31 none is ignored (glibc's own, 32 and 33, may be).
  EXPECT_EQ(std::stoull(out.substr(out.find("SigIgn:\t") + 8, 16), nullptr, 16) & 0x7fffffffu, 0u) << out;
}

}  // namespace
}  // namespace tarvex
