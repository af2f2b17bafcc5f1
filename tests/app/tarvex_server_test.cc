#include <gtest/gtest.h>

#include <csignal>

#include "platform/spawned_process.h"
#include "support/program_env.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace tarvex {
namespace {

using std::chrono::seconds;

// The desktop program as the session starts and ends it: offscreen, with the
// search engine it runs as its child.
class TarvexServerTest : public ::testing::Test {
 protected:
  TarvexServerTest() { world_.Add("QT_QPA_PLATFORM=offscreen"); }
  std::string SearchSetting() {
    return testing::ReadFile(world_.Dir().File("config") + "/Google/Google Desktop.conf");
  }
  bool EngineRegistered() { return SearchSetting().find("search_url=\"http") != std::string::npos; }

  testing::ProgramEnvironment world_;
};

TEST_F(TarvexServerTest, ASecondCopyEndsSilentlyAndASignalClosesTheWindowInOrder) {
  SpawnedProcess program =
      SpawnedProcess::Start(TARVEX_SERVER_PATH, {}, world_.Env(), nullptr, SpawnOptions::Captured()).value();
  ASSERT_TRUE(testing::WaitUntil([&] { return EngineRegistered(); }, seconds(30))) << program.Errors();
  SpawnResult second = RunSpawned(TARVEX_SERVER_PATH, {}, world_.Env(), seconds(20));
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.out + second.err, "");
  EXPECT_FALSE(program.Wait(std::chrono::milliseconds(0)).has_value());

  // The signal stops the search engine too.
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(seconds(20)), 0) << program.Errors();
  EXPECT_FALSE(EngineRegistered());
}

TEST_F(TarvexServerTest, TheSearchEngineStopsWhenTheProgramIsKilled) {
  SpawnedProcess program =
      SpawnedProcess::Start(TARVEX_SERVER_PATH, {}, world_.Env(), nullptr, SpawnOptions::Captured()).value();
  ASSERT_TRUE(testing::WaitUntil([&] { return EngineRegistered(); }, seconds(30))) << program.Errors();
  program.Signal(SIGKILL);
  ASSERT_TRUE(program.Wait(seconds(10)).has_value());
  // Told of its parent's end, the engine stops and withdraws its address.
  EXPECT_TRUE(testing::WaitUntil([&] { return !EngineRegistered(); }, seconds(20))) << SearchSetting();
}

}  // namespace
}  // namespace tarvex
