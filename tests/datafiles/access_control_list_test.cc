#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "datafiles/access_control_list.h"
#include "platform/path_case.h"
#include "support/temp_dir.h"
#include "support/posix_shims.h"

namespace tarvex {
namespace {

using testing::TempDir;
using testing::WriteFile;

class AccessControlListTest : public ::testing::Test {
 protected:
  // Writes the access file in the test directory and loads it.
  bool LoadWith(const std::string& contents) {
    WriteFile(dir_.File(std::string(kAccessFileName)), contents);
    return list_.LoadAccessList(dir_.Path() + "/");
  }
  std::string Under(const std::string& name) const { return dir_.Path() + "/" + name; }

  TempDir dir_;
  AccessControlList list_;
};

TEST_F(AccessControlListTest, MissingOrEmptyFileRestrictsNothingAndABlankLineOnlyOtherDrives) {
  EXPECT_FALSE(list_.LoadAccessList(dir_.Path() + "/"));
  EXPECT_FALSE(LoadWith(""));
  EXPECT_FALSE(list_.IsEnabled());
  EXPECT_TRUE(list_.IsPathAllowed("/etc/passwd"));
  EXPECT_TRUE(list_.IsDriveAllowed("D"));
  for (const char* blanks : {"\n", "\n \r\n"}) {
    ASSERT_TRUE(LoadWith(blanks));
    EXPECT_TRUE(list_.IsPathAllowed("/etc/passwd"));
    EXPECT_TRUE(list_.IsPathAllowed(""));
    EXPECT_TRUE(list_.IsDriveAllowed("C"));
    EXPECT_FALSE(list_.IsDriveAllowed("D"));
  }
}

TEST_F(AccessControlListTest, PrefixesMatchExactlyButForCaseWherePathsIgnoreIt) {
  std::filesystem::create_directory(Under("Shared"));
  std::filesystem::create_directory(Under("shared"));
  ASSERT_TRUE(LoadWith(Under("shared/") + "\r\n" + Under("DOCS") + "\r\nhttp://Example.com/\r\n"));
  EXPECT_TRUE(list_.IsPathAllowed(Under("shared/a.txt")));
  // Another directory that differs only in case opens nothing; where case
  // does not tell paths apart, it is the same directory.
  EXPECT_EQ(list_.IsPathAllowed(Under("Shared/a.txt")), PathsIgnoreCase());
  EXPECT_FALSE(list_.IsPathAllowed(Under("shared")));      // shorter than the entry
  EXPECT_TRUE(list_.IsPathAllowed(Under("DOCS2/a.txt")));  // a plain prefix
  EXPECT_TRUE(list_.IsPathAllowed("http://Example.com/page"));
  EXPECT_FALSE(list_.IsPathAllowed(""));
  EXPECT_TRUE(list_.IsDriveAllowed("c"));
  EXPECT_FALSE(list_.IsDriveAllowed("D"));
}

TEST_F(AccessControlListTest, NoPathLeavesAnEntry) {
  std::filesystem::create_directory(Under("shared"));
  ASSERT_TRUE(LoadWith(Under("shared/") + "\n"));
  EXPECT_FALSE(list_.IsPathAllowed(Under("shared/../../etc/")));
  EXPECT_FALSE(list_.IsPathAllowed(Under("shared/missing/../../x")));
  EXPECT_FALSE(list_.IsPathAllowed(Under(std::string("shared/\0/../../x", 17))));
  EXPECT_TRUE(list_.IsPathAllowed(Under("shared/sub/../a.txt")));
  EXPECT_TRUE(list_.IsPathAllowed(Under("shared//a.txt")));

  // A doubled separator in an entry is resolved like one in a path.
  AccessControlList doubled;
  std::filesystem::create_directory(Under("d"));
  WriteFile(Under("d/") + std::string(kAccessFileName), dir_.Path() + "//shared/\n");
  ASSERT_TRUE(doubled.LoadAccessList(Under("d/")));
  EXPECT_TRUE(doubled.IsPathAllowed(Under("shared/a.txt")));
  EXPECT_FALSE(doubled.IsPathAllowed(dir_.Path() + "//other/"));
}

TEST_F(AccessControlListTest, NoLinkLeavesAnEntry) {
  std::filesystem::create_directory(Under("shared"));
  std::filesystem::create_directory_symlink("/etc", Under("shared/out"));
  ASSERT_TRUE(LoadWith(Under("shared/") + "\n"));
  EXPECT_FALSE(list_.IsPathAllowed(Under("shared/out/passwd")));
}

TEST_F(AccessControlListTest, OddLinesRestrictInsteadOfAllowingEverything) {
  // A lone CR after the last line is an entry of its own, not a blank line.
  ASSERT_TRUE(LoadWith(Under("a/") + "\r\n\r"));
  EXPECT_TRUE(list_.IsPathAllowed(Under("a/f")));
  EXPECT_FALSE(list_.IsPathAllowed("/etc/passwd"));
  // A lone CR alone; a line too long to read, alone or after an entry (the
  // blank line behind it is never read, the entry before it stays).
  for (const std::string& contents :
       {std::string("\r"), std::string(2000, '/') + "\n", Under("b/") + "\n" + std::string(1024, 'x') + "\n\n"}) {
    AccessControlList list;
    WriteFile(Under(std::string(kAccessFileName)), contents);
    ASSERT_TRUE(list.LoadAccessList(dir_.Path() + "/"));
    EXPECT_FALSE(list.IsPathAllowed("/etc/passwd"));
    EXPECT_EQ(list.IsPathAllowed(Under("b/f")), contents.starts_with(Under("b/")));
  }
}

TEST_F(AccessControlListTest, BlankLinesAmongEntriesAndUnreadableFilesOpenNothing) {
  // A blank or all-blank line among entries is ignored, not an empty prefix.
  ASSERT_TRUE(LoadWith(Under("a/") + "\n\n  \t\r\n" + Under("b/") + "\n"));
  EXPECT_TRUE(list_.IsPathAllowed(Under("b/f")));
  EXPECT_FALSE(list_.IsPathAllowed("/"));

  // A file that is there but cannot be read restricts and allows nothing.
  const std::string file = Under(std::string(kAccessFileName));
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  AccessControlList directory;
  EXPECT_TRUE(directory.LoadAccessList(dir_.Path() + "/"));
  EXPECT_EQ(directory.LoadError(), EISDIR);
  EXPECT_FALSE(directory.IsPathAllowed("/"));
  std::filesystem::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  AccessControlList fifo;  // refused without waiting for a writer
  EXPECT_TRUE(fifo.LoadAccessList(dir_.Path()));  // a separator is added
  EXPECT_FALSE(fifo.IsPathAllowed("/"));
  std::filesystem::remove(file);
  std::filesystem::create_symlink("gone", file);
  AccessControlList dangling;  // a link to nothing is there, not missing
  EXPECT_TRUE(dangling.LoadAccessList(dir_.Path()));
  EXPECT_FALSE(dangling.IsPathAllowed("/"));
}

}  // namespace
}  // namespace tarvex
