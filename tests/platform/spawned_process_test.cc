#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>

#include "platform/spawned_process.h"
#include "platform/temp_file.h"
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

TEST(TemporaryFileTest, PrivateScratchFileIsReplacedWholeAndRemovedAtTheEnd) {
  testing::TempDir dir;
  setenv("TMPDIR", dir.Path().c_str(), 1);
  std::string path;
  {
    std::optional<TemporaryFile> file = TemporaryFile::Create("scratch.");
    ASSERT_TRUE(file);
    path = file->Path();
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(ReplaceScratchFile(path, std::string("new\0body", 8)));
    EXPECT_EQ(testing::ReadFile(path), std::string("new\0body", 8));
    EXPECT_FALSE(ReplaceScratchFile(dir.File("missing/x"), "y"));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
}  // namespace tarvex
