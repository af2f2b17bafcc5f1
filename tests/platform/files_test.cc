#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::size_t EntryCount(const std::string& directory) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(directory)) ++count;
  return count;
}

TEST(WriteFileAtomicallyTest, ReplacesWholeKeepingModeAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.File("list.txt");
  ASSERT_TRUE(WriteFileAtomically(path, "first"));
  WriteFile(path, "old");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(WriteFileAtomically(path, std::string("new\0bytes", 9)));
  EXPECT_EQ(ReadFile(path), std::string("new\0bytes", 9));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

TEST(WriteFileAtomicallyTest, FailureLeavesTheOldContentAndNoTemporary) {
  TempDir dir;
  // A non-empty directory cannot be replaced by a file.
  const std::string path = dir.File("busy");
  fs::create_directory(path);
  WriteFile(path + "/inside", "kept");
  EXPECT_FALSE(WriteFileAtomically(path, "new"));
  EXPECT_EQ(ReadFile(path + "/inside"), "kept");
  EXPECT_EQ(EntryCount(dir.Path()), 1u);
  EXPECT_FALSE(WriteFileAtomically(dir.File("missing/list.txt"), "new"));
  EXPECT_FALSE(WriteFileAtomically("", "new"));
}

TEST(NormalisePathTest, ResolvesDotsSeparatorsAndLinks) {
  TempDir dir;
  const std::string base = fs::canonical(dir.Path()).string();
  fs::create_directories(base + "/real/deep");
  fs::create_directory_symlink(base + "/real", base + "/link");
  fs::create_directory_symlink("real/deep", base + "/deep");
  fs::create_symlink("../real/none", base + "/real/dangling");
  fs::create_symlink("loop", base + "/loop");

  EXPECT_EQ(NormalisePath(base + "//real/./x/../y"), base + "/real/y");
  EXPECT_EQ(NormalisePath(base + "/real/"), base + "/real/");
  EXPECT_EQ(NormalisePath(base + "/real/.."), base + "/");
  EXPECT_EQ(NormalisePath(base + "/link/a/"), base + "/real/a/");
  EXPECT_EQ(NormalisePath(base + "/deep/../x"), base + "/real/x");  // ".." of the target
  EXPECT_EQ(NormalisePath(base + "/real/dangling/f"), base + "/real/none/f");
  EXPECT_EQ(NormalisePath("/../.."), "/");
  EXPECT_EQ(NormalisePath(base + "/loop"), "");
  EXPECT_EQ(NormalisePath(""), "");
  EXPECT_EQ(NormalisePath(std::string("/a\0b", 4)), "");
  EXPECT_EQ(NormalisePath("rel/x"), fs::current_path().string() + "/rel/x");
}

}  // namespace
}  // namespace tarvex
