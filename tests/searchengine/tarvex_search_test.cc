#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/path.h"
#include "fileservice/file_stamp.h"
#include "platform/socket.h"
#include "platform/spawned_process.h"
#include "support/program_env.h"
#include "support/server/server_fixture.h"
#include "support/wait_until.h"

namespace tarvex {
namespace {

using std::chrono::seconds;
using testing::WaitUntil;
using testing::WriteFile;

// One line of `tarvex-device search`: category, stamp, size, path, snippet.
struct Line {
  std::string category, stamp, size, path, snippet;
};

struct DeviceSearch {
  int status = -1;
  std::string total;
  std::vector<Line> lines;
  std::string err;
};

// device -> tarvexd -> tarvex-search -> Recoll, over a small index that the
// test builds from files it writes.
class TarvexSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Add("TARVEX_PASSWORD=secret42");
    docs_ = dir_.File("docs");
    std::filesystem::create_directories(docs_ + "/mail");
    WriteFile(docs_ + "/notes.txt", "Quarterly kiwi harvest notes, written at the caf\xC3\xA9.\n");
    WriteFile(docs_ + "/recipes.html",
              "<html><head><title>Kiwi recipes</title></head><body><p>A kiwi tart.</p></body></html>\n");
    WriteFile(docs_ + "/mail/delivery.eml",
              "From: Ann <ann@example.com>\nTo: Bob <bob@example.com>\nSubject: Kiwi delivery\n"
              "Date: Mon, 1 Jan 2024 10:00:00 +0000\nMessage-ID: <1@example.com>\n\n"
              "The kiwi crates arrive on Monday.\n");

    Launch(engine_, TARVEX_SEARCH_PATH, EngineArgs(), "Registered");

    port_ = std::to_string(testing::FindFreePort());
    SpawnResult configured = RunSpawned(
        TARVEXD_PATH,
        {"configure", "--port", port_, "--login", "palm", "--password-stdin", "--root-dir", RootDir()},
        world_.Env(), testing::kProgramLimit, "secret42\n");
    ASSERT_EQ(configured.status, 0) << configured.err;
    Launch(server_, TARVEXD_PATH, {"--listen-address", "127.0.0.1"}, "Server Started");
    // The first index is built in the background; searches find more as it grows.
    ASSERT_TRUE(WaitUntil([&] { return Search({"kiwi"}).total == "3"; }, seconds(60)))
        << engine_->Errors();
  }
  void TearDown() override {
    server_->Signal();
    EXPECT_EQ(server_->Wait(seconds(20)), 0);
    engine_->Signal();
    EXPECT_EQ(engine_->Wait(seconds(20)), 0) << engine_->Errors();
    // An ordinary stop is quiet, and counts agree with their nouns.
    EXPECT_EQ(engine_->Errors().find("got signal"), std::string::npos) << engine_->Errors();
    EXPECT_EQ(engine_->Errors().find(" 1 documents"), std::string::npos) << engine_->Errors();
  }

  // Starts `path` and waits until its standard error shows `ready`.
  void Launch(std::optional<SpawnedProcess>& process, const char* path, const std::vector<std::string>& args,
              const std::string& ready) {
    process = SpawnedProcess::Start(path, args, world_.Env(), nullptr, SpawnOptions::Captured());
    ASSERT_TRUE(WaitUntil([&] { return process->Errors().find(ready) != std::string::npos; })) << process->Errors();
  }
  virtual std::vector<std::string> EngineArgs() { return {"--folder", docs_}; }
  virtual std::string RootDir() { return dir_.File("exchange"); }

  DeviceSearch Search(const std::vector<std::string>& command) {
    std::vector<std::string> args = {"--port", port_, "--login", "palm", "search"};
    args.insert(args.end(), command.begin(), command.end());
    SpawnResult run = RunSpawned(TARVEX_DEVICE_PATH, args, world_.Env(), testing::kProgramLimit);
    DeviceSearch found{run.status, "", {}, run.err};
    std::istringstream out(run.out);
    std::getline(out, found.total);
    for (std::string text; std::getline(out, text);) {
      Line line;
      std::istringstream fields(text);
      for (std::string* field : {&line.category, &line.stamp, &line.size, &line.path}) std::getline(fields, *field, '\t');
      std::getline(fields, line.snippet);
      found.lines.push_back(line);
    }
    return found;
  }

  // The engine's port, from its log; 0 before it is there.
  std::uint16_t EnginePort() {
    const std::string& log = engine_->Errors();
    const std::string start = "Answering searches at http://127.0.0.1:";
    const std::size_t at = log.rfind(start);
    return at == std::string::npos ? 0 : static_cast<std::uint16_t>(std::stoi(log.substr(at + start.size())));
  }
  // Whether a recollindex of this test's engine runs (a zombie's command
  // line reads empty).
  bool IndexerRunning() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      const std::string cmdline = testing::ReadFile(entry.path().string() + "/cmdline");
      if (cmdline.find("recollindex") != std::string::npos && cmdline.find(dir_.Path()) != std::string::npos) {
        return true;
      }
    }
    return false;
  }

  testing::ProgramEnvironment world_;
  const testing::TempDir& dir_ = world_.Dir();
  std::string docs_;
  std::string port_;
  std::optional<SpawnedProcess> engine_;
  std::optional<SpawnedProcess> server_;
};

TEST_F(TarvexSearchTest, DeviceFindsTheRealFilesWithTheirStampsSizesAndPagesAndOnlyWhatItMay) {
  const DeviceSearch all = Search({"kiwi"});
  ASSERT_EQ(all.status, 0) << all.err;
  ASSERT_EQ(all.lines.size(), 3u);
  std::vector<std::string> paths;
  for (const Line& line : all.lines) {
    const auto [directory, name] = SplitPath(line.path);
    const FileStamp stamp = GetFileStamp(name, directory);
    EXPECT_EQ(line.stamp, stamp.stamp) << line.path;
    EXPECT_EQ(line.size, std::to_string(std::filesystem::file_size(line.path))) << line.path;
    EXPECT_EQ(line.category, line.path.ends_with(".eml") ? "email" : "file") << line.path;
    EXPECT_NE(line.snippet.find("iwi"), std::string::npos) << line.snippet;
    paths.push_back(line.path);
  }
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{docs_ + "/mail/delivery.eml", docs_ + "/notes.txt",
                                             docs_ + "/recipes.html"}));

  // Pages of one result each walk the same results in the same order.
  for (int first = 0; first < 3; ++first) {
    const DeviceSearch page = Search({"kiwi", "--count", "1", "--start", std::to_string(first)});
    EXPECT_EQ(page.total, "3");
    ASSERT_EQ(page.lines.size(), 1u);
    EXPECT_EQ(page.lines[0].path, all.lines[first].path);
  }
  EXPECT_TRUE(Search({"kiwi", "--start", "3"}).lines.empty());

  // Text the engine cannot parse still searches.
  EXPECT_EQ(Search({"(kiwi"}).total, "3");
  EXPECT_EQ(Search({"two words nowhere"}).total, "0");

  // The index follows changes while the engine runs.
  WriteFile(docs_ + "/late.txt", "A late kiwi.\n");
  EXPECT_TRUE(WaitUntil([&] { return Search({"kiwi"}).total == "4"; }, seconds(60)));

  // A restricted session keeps only the allowed results, and the engine's total.
  WriteFile(world_.AppFile("QLXAccessCtrl.dat"), docs_ + "/mail/\n");
  const DeviceSearch found = Search({"kiwi"});
  EXPECT_EQ(found.total, "4");
  ASSERT_EQ(found.lines.size(), 1u);
  EXPECT_EQ(found.lines[0].path, docs_ + "/mail/delivery.eml");

  const SpawnResult malformed =
      RunSpawned(TARVEX_SEARCH_PATH, {"--port", "80x"}, world_.Env(), testing::kProgramLimit);
  EXPECT_EQ(malformed.status, 2);
  EXPECT_NE(malformed.err.find("--port: 80x is not a whole number from 1 to 65535"), std::string::npos)
      << malformed.err;
}

TEST_F(TarvexSearchTest, SlowClientsOddQueriesAndAKilledEngineLeaveNothingBroken) {
  // Query texts Recoll cannot run answer no results; the reason is logged.
  for (const std::string& text : {std::string("--"), std::string("%24%28id%29"), std::string("%25")}) {
    const DeviceSearch odd = Search({"--", text});
    EXPECT_EQ(odd.status, 0) << text << odd.err;
    EXPECT_EQ(odd.total, "0") << text;
  }
  EXPECT_NE(engine_->Errors().find("A query could not be run"), std::string::npos) << engine_->Errors();

  // Sixteen clients that trickle a byte now and then do not keep a request
  // out, and lose their connections after the request deadline.
  const std::uint16_t port = EnginePort();
  ASSERT_NE(port, 0);
  std::vector<Socket> slow;
  for (int i = 0; i < 16; ++i) {
    slow.push_back(ConnectTcp("127.0.0.1", port));
    ASSERT_TRUE(slow.back().IsValid());
    SendSome(slow.back(), "G", 1);
  }
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(Search({"kiwi"}).total, "3") << engine_->Errors();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, seconds(12));
  for (Socket& socket : slow) SendSome(socket, "E", 1);
  EXPECT_TRUE(WaitUntil([&] {
    for (Socket& socket : slow) {
      char c;
      if (WaitReadable(socket, std::chrono::milliseconds(0)) != WaitResult::kReady) return false;
      if (ReceiveSome(socket, &c, 1) > 0) return false;
    }
    return true;
  }, seconds(20))) << "a slow client kept its connection past the deadline";
  slow.clear();

  // No indexer outlives an engine that is killed outright.
  ASSERT_TRUE(WaitUntil([&] { return IndexerRunning(); }, seconds(30)));
  engine_->Signal(SIGKILL);
  engine_->Wait(seconds(10));
  EXPECT_TRUE(WaitUntil([&] { return !IndexerRunning(); }, seconds(10)));
  Launch(engine_, TARVEX_SEARCH_PATH, {"--folder", docs_}, "Registered");
  EXPECT_TRUE(WaitUntil([&] { return IndexerRunning(); }, seconds(30))) << engine_->Errors();

  // The token and the index are the user's alone.
  const std::string folder = world_.AppFile("Search");
  EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_symlink()) continue;
    EXPECT_EQ(entry.status().permissions() & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none)
        << entry.path();
  }
}

// An engine on its default folders indexes the file service's root
// directory, as the server's setting names it.
class TarvexSearchRootTest : public TarvexSearchTest {
 protected:
  std::vector<std::string> EngineArgs() override { return {}; }
  std::string RootDir() override { return docs_; }
};

TEST_F(TarvexSearchRootTest, ANewRootDirectoryIsSearchedWithoutARestart) {
  const std::string moved = dir_.File("moved");
  std::filesystem::create_directories(moved);
  WriteFile(moved + "/plums.txt", "Ripe plums for the market.\n");
  EXPECT_EQ(Search({"plums"}).total, "0");
  // The server is configured while it is stopped; the engine keeps running.
  server_->Signal();
  ASSERT_EQ(server_->Wait(seconds(20)), 0);
  SpawnResult configured =
      RunSpawned(TARVEXD_PATH, {"configure", "--root-dir", moved}, world_.Env(), testing::kProgramLimit);
  ASSERT_EQ(configured.status, 0) << configured.err;
  Launch(server_, TARVEXD_PATH, {"--listen-address", "127.0.0.1"}, "Server Started");
  EXPECT_TRUE(WaitUntil([&] { return Search({"plums"}).total == "1"; }, seconds(60))) << engine_->Errors();
  EXPECT_NE(engine_->Errors().find("Indexing " + moved), std::string::npos) << engine_->Errors();
}

}  // namespace
}  // namespace tarvex
