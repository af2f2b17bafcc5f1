// Windows only: what a save keeps of the file it replaces, as it keeps the
// mode on Linux.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "platform/wide_text_win32.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(ToWide(path).c_str()); }

TEST(AtomicFileWindowsTest, AReplacedFileKeepsItsHiddenMarkAndANewFileGetsNone) {
  testing::TempDir dir;
  const std::string hidden = dir.File("QLXUsers.txt");
  testing::WriteFile(hidden, "old");
  ASSERT_TRUE(::SetFileAttributesW(ToWide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(WriteFileAtomically(hidden, "new"));
  EXPECT_EQ(testing::ReadFile(hidden), "new");
  EXPECT_NE(Attributes(hidden) & FILE_ATTRIBUTE_HIDDEN, 0u);

  const std::string fresh = dir.File("QLXFiles.txt");
  ASSERT_TRUE(WriteFileAtomically(fresh, "new"));
  EXPECT_EQ(Attributes(fresh) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

}  // namespace
}  // namespace tarvex
