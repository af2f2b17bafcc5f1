#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "log/server_log.h"
#include "log/service_log.h"
#include "log/time_stamp.h"
#include "support/faulty_save_calls.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace tarvex {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::size_t LineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Both logs' line formats, as written and as read back. Control characters
// are replaced, so that none can forge a record or reach a terminal.
TEST(ActivityLogTest, EventsReachTheFileNewestFirstAndReloadAsWritten) {
  // Month, day, two-digit year and twenty-four-hour time.
  EXPECT_EQ(FormatTimeStamp({2010, 1, 2, 0, 5, 9}), "01/02/10 00:05:09");
  EXPECT_EQ(FormatTimeStamp({2123, 12, 31, 23, 59, 59}), "12/31/123 23:59:59");
  TempDir dir;
  const std::string server_path = dir.File("server.txt");
  const std::string service_path = dir.File("service.txt");
  {
    ServerLog server(server_path);
    ServiceLog service(service_path);
    ASSERT_TRUE(server.Open());
    ASSERT_TRUE(service.Open());
    EXPECT_TRUE(std::filesystem::exists(server_path));
    ASSERT_TRUE(server.LogEvent("Server", "", "Server Started", "0"));
    ASSERT_TRUE(server.LogEvent("QLX", "eve\r\n", "a, b\r\n01/01/05 00:00:00,Server,,0,Server Stopped", "2"));
    const std::string stamp = server.GetRecord(0)->GetField(0);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d)")));
    // The log's writer saves without being asked.
    const std::string expected = stamp + ",QLX,eve??,2,a, b??01/01/05 00:00:00,Server,,0,Server Stopped\r\n" +
                                 server.GetRecord(1)->GetField(0) + ",Server,,0,Server Started\r\n";
    EXPECT_TRUE(testing::WaitUntil([&] { return ReadFile(server_path) == expected; }));

    int calls = 0;
    service.SetChangeCallback([&](const std::shared_ptr<const LogRecord>& added) {
      ++calls;
      EXPECT_EQ(service.GetRecord(0), added);  // the observer is told outside the lock
    });
    ASSERT_TRUE(service.LogEvent("got \x01\x7f\tfile", "\x1b]0;title\x07", "Error"));
    ASSERT_TRUE(service.LogEvent("Sent a,b.txt", "ann", "Success"));
    EXPECT_EQ(calls, 2);
  }
  EXPECT_EQ(ReadFile(service_path).find_first_of("\x1b\x01\x7f\t\x07"), std::string::npos);
  ServiceLog service(service_path);
  ASSERT_TRUE(service.Open());
  EXPECT_EQ(service.GetRecord(1)->GetField(ServiceLogRecord::kDescription), "got ???file");
  // A comma in a field but the last would shift the fields on reload.
  EXPECT_EQ(service.GetRecord(0)->GetField(ServiceLogRecord::kDescription), "Sent a?b.txt");
  EXPECT_EQ(service.GetRecord(0)->GetField(ServiceLogRecord::kUser), "ann");
  EXPECT_EQ(service.GetRecord(0)->GetField(ServiceLogRecord::kStatus), "Success");
}

TEST(ActivityLogTest, ABurstOfEventsCostsAHandfulOfSavesAndKeepsTheNewestFiveHundred) {
  TempDir dir;
  const std::string path = dir.File("server.txt");
  testing::FaultySaveCalls counting;
  ServerLog log(path, 500, counting);
  ASSERT_TRUE(log.Open());
  for (int i = 0; i < 1000; ++i) log.LogEvent("Server", "", "event " + std::to_string(i), "2");
  EXPECT_EQ(log.GetCount(), 500);
  ASSERT_TRUE(testing::WaitUntil([&] {
    const std::string file = ReadFile(path);
    return file.substr(0, file.find("\r\n")).ends_with(",event 999");
  }));
  EXPECT_EQ(LineCount(ReadFile(path)), 500u);
  EXPECT_LE(counting.Calls(), 20);
}

TEST(ActivityLogTest, ReadersOfAFileBeingRewrittenAlwaysSeeAWholeLog) {
  TempDir dir;
  const std::string path = dir.File("server.txt");
  ServerLog log(path, 50);
  ASSERT_TRUE(log.Open());
  std::atomic<bool> done{false};
  std::atomic<int> torn{0}, reads{0};
  // Every save holds one record more than the one before, up to 50: a
  // reader must never see fewer lines than before, or a cut last line.
  std::thread reader([&] {
    for (std::size_t most = 0; !done; ++reads) {
      const std::string file = ReadFile(path);
      const std::size_t lines = LineCount(file);
      if (lines < most || !(file.empty() || file.ends_with("\r\n"))) ++torn;
      most = std::max(most, lines);
      // Room for the save between reads where a file being read cannot be
      // replaced (Windows): the save waits for the reader to let go.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  for (int i = 0; i < 400; ++i) {
    log.LogEvent("Server", "", "event number " + std::to_string(i) + std::string(200, '.'), "2");
    // Each save starts with the reader reading.
    const int seen = reads;
    testing::WaitUntil([&] { return reads > seen; });
    log.Save();
  }
  done = true;
  reader.join();
  EXPECT_GE(reads, 400);
  EXPECT_EQ(torn, 0);
}

TEST(ActivityLogTest, LoadSkipsBadLinesAndReadsNoMoreLinesThanTheMaximum) {
  TempDir dir;
  const std::string path = dir.File("server.txt");
  WriteFile(path, "t1,Server,,0,one\r\n\r\nt2,Server,,0\nt3,QLX,ann,2,three,x\nt4,S,,0,four\r\n"
                  "t5,Server,,0,five");
  ServerLog log(path, 4);  // bad lines count against the maximum too
  ASSERT_TRUE(log.Open());
  ASSERT_EQ(log.GetCount(), 2);
  EXPECT_EQ(log.GetRecord(0)->GetField(4), "one");
  EXPECT_EQ(log.GetRecord(1)->GetField(4), "three,x");

  ServerLog all(path, 0);
  EXPECT_EQ(all.MaxRecords(), 1000);
  ASSERT_TRUE(all.Open());
  ASSERT_EQ(all.GetCount(), 4);
  EXPECT_EQ(all.GetRecord(3)->GetField(4), "five");
  EXPECT_EQ(ReadFile(path).substr(0, 5), "t1,Se");  // opening never truncates

  ServerLog unopenable(dir.File("missing/server.txt"));
  EXPECT_FALSE(unopenable.Open());
  EXPECT_TRUE(unopenable.LogEvent("Server", "", "Server Started", "0"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST(ServiceLogTest, ThreadsLoggingAtOnceLoseNothingBelowTheBound) {
  TempDir dir;
  ServiceLog log(dir.File("service.txt"));
  ASSERT_TRUE(log.Open());
  std::atomic<int> told{0};
  log.SetChangeCallback([&](const std::shared_ptr<const LogRecord>&) { ++told; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < 100; ++i) log.LogEvent(std::to_string(t * 100 + i), "u", "Success");
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_EQ(log.GetCount(), 800);
  EXPECT_EQ(told, 800);
}

// A log whose list lock a test can hold, as a stalled thread would.
class HeldLog : public ServerLog {
 public:
  using ServerLog::ServerLog;
  using ServerLog::RecordsLock;
};

TEST(ActivityLogTest, CallsGiveUpWhileTheLockIsHeldElsewhereAndTheLossIsLoggedAfter) {
  TempDir dir;
  const std::string path = dir.File("server.txt");
  HeldLog log(path);
  ServerLogRecord source;
  source.SetField(ServerLogRecord::kDescription, "after");
  int calls = 0;
  log.SetChangeCallback([&](const std::shared_ptr<const LogRecord>&) { ++calls; });
  std::unique_lock<std::timed_mutex> held(log.RecordsLock());

  // All five wait out the time-out side by side.
  auto count = std::async(std::launch::async, [&] { return log.GetCount(); });
  auto record = std::async(std::launch::async, [&] { return log.GetRecord(0); });
  auto add = std::async(std::launch::async, [&] { return log.AddRecord(source); });
  auto again = std::async(std::launch::async, [&] { return log.AddRecord(source); });
  auto save = std::async(std::launch::async, [&] { return log.Save(); });
  EXPECT_EQ(count.get(), -1);
  EXPECT_EQ(record.get(), nullptr);
  EXPECT_FALSE(add.get());
  EXPECT_FALSE(again.get());
  EXPECT_FALSE(save.get());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(calls, 0);

  // The next event that gets the lock tells how many were given up, once.
  held.unlock();
  EXPECT_TRUE(log.AddRecord(source));
  EXPECT_TRUE(log.AddRecord(source));
  EXPECT_EQ(calls, 3);
  ASSERT_EQ(log.GetCount(), 3);
  EXPECT_EQ(log.GetRecord(2)->GetField(ServerLogRecord::kDescription), "2 log events were dropped");
  EXPECT_EQ(log.GetRecord(2)->GetField(ServerLogRecord::kModule), "Server");
}

}  // namespace
}  // namespace tarvex
