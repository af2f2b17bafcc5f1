#include "platform/app_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"
#include "support/posix_shims.h"

namespace tarvex {
namespace {

TEST(AppFolderTest, ARelativeDataHomeIsIgnoredAndAFileInTheWayFails) {
  testing::TempDir dir;
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
