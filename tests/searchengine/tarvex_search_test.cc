#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "fileservice/file_stamp.h"
#include "platform/child_process.h"
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

    engine_ = std::make_unique<ChildProcess>(TARVEX_SEARCH_PATH, EngineArgs(), world_.Env());
    ASSERT_TRUE(WaitUntil([&] { return engine_->Errors().find("Registered") != std::string::npos; }))
        << engine_->Errors();

    port_ = std::to_string(testing::FindFreePort());
    ProgramResult configured = RunProgram(TARVEXD_PATH,
                                          {"configure", "--port", port_, "--login", "palm", "--password-stdin",
                                           "--root-dir", RootDir()},
                                          world_.Env(), "secret42\n");
    ASSERT_EQ(configured.status, 0) << configured.err;
    server_ = std::make_unique<ChildProcess>(TARVEXD_PATH, std::vector<std::string>{"--listen-address", "127.0.0.1"},
                                             world_.Env());
    ASSERT_TRUE(WaitUntil([&] { return server_->Errors().find("Server Started") != std::string::npos; }))
        << server_->Errors();
    // The first index is built in the background; searches find more as it grows.
    ASSERT_TRUE(WaitUntil([&] { return Search({"kiwi"}).total == "3"; }, seconds(60)))
        << engine_->Errors();
  }
  void TearDown() override {
    server_->Signal();
    EXPECT_EQ(server_->Wait(seconds(20)), 0);
    engine_->Signal();
    EXPECT_EQ(engine_->Wait(seconds(20)), 0) << engine_->Errors();
  }

  virtual std::vector<std::string> EngineArgs() { return {"--folder", docs_}; }
  virtual std::string RootDir() { return dir_.File("exchange"); }

  DeviceSearch Search(const std::vector<std::string>& command) {
    std::vector<std::string> args = {"--port", port_, "--login", "palm", "search"};
    args.insert(args.end(), command.begin(), command.end());
    ProgramResult run = RunProgram(TARVEX_DEVICE_PATH, args, world_.Env());
    DeviceSearch found{run.status, "", {}, run.err};
    std::istringstream out(run.out);
    std::getline(out, found.total);
    for (std::string text; std::getline(out, text);) {
      Line line;
      std::istringstream fields(text);
      std::getline(fields, line.category, '\t');
      std::getline(fields, line.stamp, '\t');
      std::getline(fields, line.size, '\t');
      std::getline(fields, line.path, '\t');
      std::getline(fields, line.snippet);
      found.lines.push_back(line);
    }
    return found;
  }

  testing::ProgramEnvironment world_;
  const testing::TempDir& dir_ = world_.Dir();
  std::string docs_;
  std::string port_;
  std::unique_ptr<ChildProcess> engine_;
  std::unique_ptr<ChildProcess> server_;
};

TEST_F(TarvexSearchTest, DeviceFindsTheRealFilesWithTheirStampsSizesAndPagesAndOnlyWhatItMay) {
  const DeviceSearch all = Search({"kiwi"});
  ASSERT_EQ(all.status, 0) << all.err;
  ASSERT_EQ(all.lines.size(), 3u);
  std::vector<std::string> paths;
  for (const Line& line : all.lines) {
    const std::size_t slash = line.path.rfind('/');
    const FileStamp stamp = GetFileStamp(line.path.substr(slash + 1), line.path.substr(0, slash + 1));
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

  // A device's single-byte text and text the engine cannot parse still search.
  const DeviceSearch cafe = Search({"caf\xE9"});
  ASSERT_EQ(cafe.lines.size(), 1u) << cafe.err;
  EXPECT_EQ(cafe.lines[0].path, docs_ + "/notes.txt");
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
  ProgramResult configured = RunProgram(TARVEXD_PATH, {"configure", "--root-dir", moved}, world_.Env());
  ASSERT_EQ(configured.status, 0) << configured.err;
  server_ = std::make_unique<ChildProcess>(TARVEXD_PATH, std::vector<std::string>{"--listen-address", "127.0.0.1"},
                                           world_.Env());
  ASSERT_TRUE(WaitUntil([&] { return server_->Errors().find("Server Started") != std::string::npos; }));
  EXPECT_TRUE(WaitUntil([&] { return Search({"plums"}).total == "1"; }, seconds(60))) << engine_->Errors();
  EXPECT_NE(engine_->Errors().find("Indexing " + moved), std::string::npos) << engine_->Errors();
}

}  // namespace
}  // namespace tarvex
