#include <gtest/gtest.h>

#include <string>

#include "platform/path.h"

namespace tarvex {
namespace {

// Guards against a doubled or missing separator where a name is joined, and
// against a root that loses its separator (which would then name the
// current directory of a drive, or nothing).
TEST(PathTest, JoinsWithThePlatformSeparatorOnceAndKeepsRootsWhole) {
  const std::string separator(1, kPathSeparator);
  EXPECT_EQ(JoinPath("data", "TSConfig.txt"), "data" + separator + "TSConfig.txt");
  EXPECT_EQ(JoinPath("data/", "a"), "data/a");
  EXPECT_EQ(JoinPath("data\\", "a"), "data\\a");
  EXPECT_EQ(JoinPath("", "a"), "a");
  for (char each : kPathSeparators) {
    const std::string root(1, each);
    EXPECT_EQ(Dirname(root + "a"), root);
    EXPECT_EQ(Dirname("x" + root + "y" + root + "a.txt"), "x" + root + "y");
    EXPECT_EQ(SplitPath("x" + root + "a.txt").name, "a.txt");
    EXPECT_TRUE(IsAbsolutePath(root + "a"));
    EXPECT_FALSE(IsAbsolutePath("a" + root + "b"));
  }
  EXPECT_EQ(Dirname("a.txt"), ".");
}

}  // namespace
}  // namespace tarvex
