#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "log/server_log.h"
#include "log/service_log.h"
#include "platform/event.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(ServerLogTest, SavesEveryEventNewestFirstAndReloadsInTheSameOrder) {
  TempDir dir;
  const std::string path = dir.File("server.txt");
  {
    ServerLog log(path);
    ASSERT_TRUE(log.Open());
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(log.GetCount(), 0);
    ASSERT_TRUE(log.LogEvent("Server", "", "Server Started", "0"));
    ASSERT_TRUE(log.LogEvent("QLX", "ann", "a, b, c", "2"));
    const std::string stamp = log.GetRecord(0)->GetField(0);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d)")));
    EXPECT_EQ(ReadFile(path), stamp + ",QLX,ann,2,a, b, c\r\n" + log.GetRecord(1)->GetField(0) +
                                  ",Server,,0,Server Started\r\n");
    EXPECT_EQ(log.GetRecord(2), nullptr);
  }
  ServerLog reloaded(path);
  ASSERT_TRUE(reloaded.Open());
  ASSERT_EQ(reloaded.GetCount(), 2);
  EXPECT_EQ(reloaded.GetRecord(0)->GetField(ServerLogRecord::kDescription), "a, b, c");
  EXPECT_EQ(reloaded.GetRecord(1)->GetField(ServerLogRecord::kStatus), "0");
}

TEST(ServerLogTest, LineBreaksInsideFieldsCannotForgeRecords) {
  TempDir dir;
  const std::string path = dir.File("server.txt");
  {
    ServerLog log(path);
    ASSERT_TRUE(log.Open());
    ASSERT_TRUE(log.LogEvent("QLX", "eve\r\n", "sent x\r\n01/01/05 00:00:00,Server,,0,Server Stopped", "2"));
  }
  ServerLog reloaded(path);
  ASSERT_TRUE(reloaded.Open());
  ASSERT_EQ(reloaded.GetCount(), 1);
  EXPECT_EQ(reloaded.GetRecord(0)->GetField(ServerLogRecord::kUser), "eve  ");
  EXPECT_EQ(reloaded.GetRecord(0)->GetField(ServerLogRecord::kDescription),
            "sent x  01/01/05 00:00:00,Server,,0,Server Stopped");
}

TEST(ServerLogTest, KeepsTheNewestFiveHundredAndDroppedRecordsStayReadable) {
  TempDir dir;
  const std::string path = dir.File("server.txt");
  ServerLog log(path);
  ASSERT_TRUE(log.Open());
  for (int i = 0; i < 500; ++i) log.LogEvent("Server", "", "event " + std::to_string(i), "2");
  auto oldest = log.GetRecord(499);
  ASSERT_TRUE(log.LogEvent("Server", "", "event 500", "2"));
  EXPECT_EQ(log.GetCount(), 500);
  EXPECT_EQ(log.GetRecord(499)->GetField(4), "event 1");
  EXPECT_EQ(oldest->GetField(4), "event 0");
  const std::string file = ReadFile(path);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 500);
  EXPECT_EQ(file.find("event 0\r\n"), std::string::npos);
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

TEST(ServiceLogTest, SavesOnlyWhenAskedAndToldObserverMayReadTheLog) {
  TempDir dir;
  const std::string path = dir.File("service.txt");
  ServiceLog log(path);
  ASSERT_TRUE(log.Open());
  ASSERT_EQ(log.ColumnCount(), 4);
  EXPECT_EQ(log.ColumnTitle(2), "Description");
  EXPECT_EQ(log.ColumnWidth(2), 250);

  int context = 0, extra = 0, calls = 0;
  log.SetChangeCallback(
      [&](const std::shared_ptr<const LogRecord>& added, void* c, void* e) {
        ++calls;
        EXPECT_EQ(c, &context);
        EXPECT_EQ(e, &extra);
        EXPECT_EQ(log.GetRecord(0), added);  // the lock is free again
      },
      &context, &extra);
  ASSERT_TRUE(log.LogEvent("Sent a,b.txt", "ann", "Success"));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ReadFile(path), "");

  // A comma in the description moves its rest into the user field on reload.
  log.Save();
  ServiceLog reloaded(path);
  ASSERT_TRUE(reloaded.Open());
  auto record = reloaded.GetRecord(0);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->GetField(ServiceLogRecord::kStatus), "Success");
  EXPECT_EQ(record->GetField(ServiceLogRecord::kDescription), "Sent a");
  EXPECT_EQ(record->GetField(ServiceLogRecord::kUser), "b.txt,ann");
}

TEST(ServiceLogTest, ThreadsLoggingAtOnceLoseNothingBelowTheBound) {
  TempDir dir;
  ServiceLog log(dir.File("service.txt"));
  ASSERT_TRUE(log.Open());
  std::atomic<int> told{0};
  log.SetChangeCallback([&](const std::shared_ptr<const LogRecord>&) { ++told; });
  constexpr int kThreads = 8;
  constexpr int kEach = 100;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kEach; ++i) log.LogEvent(std::to_string(t * kEach + i), "u", "Success");
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_EQ(log.GetCount(), kThreads * kEach);
  EXPECT_EQ(told, kThreads * kEach);
  std::set<std::string> descriptions;
  for (int i = 0; i < kThreads * kEach; ++i) descriptions.insert(log.GetRecord(i)->GetField(2));
  EXPECT_EQ(descriptions.size(), static_cast<std::size_t>(kThreads * kEach));
}

// Record making can be held up, which keeps AddRecord inside the lock.
class StalledLog : public ServerLog {
 public:
  using ServerLog::ServerLog;
  std::unique_ptr<LogRecord> CreateRecord() const override {
    entered.Set();
    release.Wait(std::chrono::seconds(30));
    return ServerLog::CreateRecord();
  }
  mutable ManualResetEvent entered, release;
};

TEST(ActivityLogTest, CallsGiveUpWhileTheLockIsHeldElsewhere) {
  TempDir dir;
  const std::string path = dir.File("server.txt");
  StalledLog log(path);
  ServerLogRecord source;
  auto holder = std::async(std::launch::async, [&] { return log.AddRecord(source); });
  ASSERT_TRUE(log.entered.Wait(std::chrono::seconds(30)));
  int calls = 0;
  log.SetChangeCallback([&](const std::shared_ptr<const LogRecord>&) { ++calls; });

  // All four wait out the time-out side by side.
  auto count = std::async(std::launch::async, [&] { return log.GetCount(); });
  auto record = std::async(std::launch::async, [&] { return log.GetRecord(0); });
  auto add = std::async(std::launch::async, [&] { return log.AddRecord(source); });
  auto save = std::async(std::launch::async, [&] { log.Save(); });
  EXPECT_EQ(count.get(), -1);
  EXPECT_EQ(record.get(), nullptr);
  EXPECT_FALSE(add.get());
  save.get();
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(calls, 0);

  log.release.Set();
  EXPECT_TRUE(holder.get());
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(log.GetCount(), 1);
}

}  // namespace
}  // namespace tarvex
