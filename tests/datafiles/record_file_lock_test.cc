#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "datafiles/record_file_lock.h"
#include "datafiles/user_list.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

// Many sessions adding users at once each get their own id, and readers that
// take no lock only ever see whole files.
TEST(RecordFileLockTest, SerialisesLoadChangeSaveAndReadersSeeWholeFiles) {
  testing::TempDir dir;
  const std::string directory = dir.Path() + "/";
  constexpr int kWriters = 8;
  constexpr int kUsersEach = 25;
  std::atomic<bool> writing{true};
  std::atomic<int> torn_reads{0};

  std::thread reader([&] {
    while (writing) {
      UserList users(directory);
      users.Load();
      for (UserRecord* user = users.FindFirstUser(); user != nullptr; user = users.FindNextUser()) {
        if (user->GetUserId() == 0 || user->GetUserName() != "u" + std::to_string(user->GetUserId())) {
          ++torn_reads;
        }
      }
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&directory] {
      for (int i = 0; i < kUsersEach; ++i) {
        UserList users(directory);
        // Another spelling of the same file takes the same lock.
        RecordFileLock lock(i % 2 == 0 ? users.Path() : directory + "./" + std::string(kUsersFileName));
        users.Load();
        const std::uint32_t id = users.NextUserId();
        users.Add(std::make_unique<UserRecord>(id, "u" + std::to_string(id)));
        users.Save();
      }
    });
  }
  for (auto& writer : writers) writer.join();
  writing = false;
  reader.join();

  EXPECT_EQ(torn_reads, 0);
  UserList users(directory);
  ASSERT_TRUE(users.Load());
  std::set<std::uint32_t> ids;
  for (UserRecord* user = users.FindFirstUser(); user != nullptr; user = users.FindNextUser()) {
    ids.insert(user->GetUserId());
  }
  EXPECT_EQ(users.CountMatching(), kWriters * kUsersEach);
  EXPECT_EQ(ids.size(), static_cast<std::size_t>(kWriters * kUsersEach));
}

}  // namespace
}  // namespace tarvex
