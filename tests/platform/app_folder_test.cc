#include "platform/app_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"

namespace tarvex {
namespace {

TEST(AppFolderTest, CreatesAndEntersTheFolderUnderTheDataHome) {
  testing::TempDir dir;
  const std::filesystem::path previous = std::filesystem::current_path();
  ASSERT_EQ(setenv("XDG_DATA_HOME", dir.File("data/").c_str(), 1), 0);
  ASSERT_TRUE(EnterAppFolder());
  EXPECT_EQ(CurrentDirectory(), dir.File("data/Tarvex Server"));
  std::filesystem::current_path(previous);
  // A relative data home is ignored in favour of HOME.
  ASSERT_EQ(setenv("XDG_DATA_HOME", "relative", 1), 0);
  ASSERT_EQ(setenv("HOME", dir.Path().c_str(), 1), 0);
  EXPECT_EQ(AppFolderPath(), dir.File(".local/share/Tarvex Server"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File(".local/share/Tarvex Server")));
  testing::WriteFile(dir.File("file"), "");
  ASSERT_EQ(setenv("XDG_DATA_HOME", dir.File("file").c_str(), 1), 0);
  EXPECT_FALSE(EnterAppFolder());
}

}  // namespace
}  // namespace tarvex
