#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "datafiles/file_list.h"
#include "datafiles/next_field.h"
#include "datafiles/user_list.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(NextFieldTest, FollowsTheQuotingRules) {
  std::string line = "\"7\",\"a\"\"b\",\"x\"y\"\r\n";
  EXPECT_EQ(NextField(&line), "7");
  EXPECT_EQ(NextField(&line), "a\"b");     // doubled quote reads as one
  EXPECT_EQ(NextField(&line), "x\"y");     // lone quote kept; quote + CR ends
  EXPECT_EQ(line, "");

  std::string unclosed = "\"abc\n";
  EXPECT_EQ(NextField(&unclosed), "abc\n");
  EXPECT_EQ(NextField(&unclosed), "abc\n");  // the line stays as it was
  std::string unquoted = "7,Ann\n";
  EXPECT_EQ(NextField(&unquoted), "");
  EXPECT_EQ(unquoted, "7,Ann\n");
}

TEST(UserRecordTest, FormatsQuotedFieldsAndParsesThemBack) {
  std::string line;
  ASSERT_TRUE(UserRecord(7, "Ann").FormatLine(&line));
  EXPECT_EQ(line, "\"7\",\"Ann\"\n");
  UserRecord read;
  read.ParseLine(line);
  EXPECT_EQ(read.GetUserId(), 7u);
  EXPECT_EQ(read.GetUserName(), "Ann");

  // A quote-comma inside a name cuts it; the rest goes to the next field.
  FileRecord file;
  file.ParseLine("\"2\",\"a\",b.txt\",\"/d/\"\n");
  EXPECT_EQ(file.GetFileName(), "a");
  EXPECT_EQ(file.GetDirectory(), "");
  file.ParseLine("1,x,y\n");
  EXPECT_EQ(file.GetUserId(), 0u);
  EXPECT_EQ(file.GetFileName(), "");
}

TEST(UserRecordTest, RefusesLinesThatCouldNotBeReadBack) {
  std::string line = "kept";
  EXPECT_TRUE(UserRecord(1, std::string(kMaxLineLength - 6, 'n')).FormatLine(&line));
  EXPECT_FALSE(UserRecord(1, std::string(kMaxLineLength - 5, 'n')).FormatLine(&line));
  EXPECT_FALSE(UserRecord(1, "two\nlines").FormatLine(&line));
  EXPECT_FALSE(UserRecord(1, "Ann").FormatLine(nullptr));
}

TEST(RecordFileTest, LoadAppendsReadsBothLineEndsAndStopsAtALongLine) {
  TempDir dir;
  const std::string long_line = "\"9\",\"" + std::string(kMaxLineLength + 1, 'x') + "\"\n";
  WriteFile(dir.File("QLXUsers.txt"), "\"1\",\"Ann\"\r\n\n\"2\",\"Bob\"\n" + long_line + "\"3\",\"Cy\"\n");
  UserList users(dir.Path() + "/");
  users.Add(std::make_unique<UserRecord>(5, "Kept"));
  ASSERT_TRUE(users.Load());
  ASSERT_EQ(users.CountMatching(), 4);  // Kept, Ann, the empty line, Bob
  UserRecord* user = users.FindFirstUser();
  EXPECT_EQ(user->GetUserName(), "Kept");
  EXPECT_EQ(users.FindNextUser()->GetUserName(), "Ann");
  user = users.FindNextUser();
  EXPECT_EQ(user->GetUserId(), 0u);
  EXPECT_EQ(user->GetUserName(), "");
  EXPECT_EQ(users.FindNextUser()->GetUserName(), "Bob");
  EXPECT_EQ(users.FindNextUser(), nullptr);

  WriteFile(dir.File("QLXFiles.txt"), "\"4\",\"a.txt\",\"/d/\"");  // no final line feed
  FileList files(dir.Path() + "/");
  ASSERT_TRUE(files.Load());
  EXPECT_EQ(files.FindFirstFile()->GetDirectory(), "/d/");
  EXPECT_FALSE(FileList(dir.Path() + "/missing/").Load());
}

TEST(RecordFileTest, NextUserIdIsOneAboveTheHighestSignedId) {
  TempDir dir;
  UserList users(dir.Path() + "/");
  EXPECT_EQ(users.NextUserId(), 1u);
  users.Add(std::make_unique<UserRecord>(3, "a"));
  users.Add(std::make_unique<UserRecord>(0xFFFFFFF0u, "negative"));
  users.Add(std::make_unique<UserRecord>(9, "b"));
  EXPECT_EQ(users.NextUserId(), 10u);
}

TEST(RecordFileTest, FilterNarrowsTheWalkButNotFindFileOrSave) {
  TempDir dir;
  FileList files(dir.Path() + "/");
  files.Add(std::make_unique<FileRecord>(5, "README.TXT", "/a/"));
  files.Add(std::make_unique<FileRecord>(6, "b.txt", "/b/"));
  files.Add(std::make_unique<FileRecord>(5, "c.txt", "/c/"));
  files.SetUserFilter(5);
  EXPECT_EQ(files.CountMatching(), 2);
  EXPECT_EQ(files.FindFirstFile()->GetFileName(), "README.TXT");
  EXPECT_EQ(files.FindNextFile()->GetFileName(), "c.txt");
  EXPECT_EQ(files.FindNextFile(), nullptr);
  EXPECT_EQ(files.FindFile(5, "readme.txt")->GetDirectory(), "/a/");
  EXPECT_EQ(files.FindFile(6, "readme.txt"), nullptr);

  ASSERT_TRUE(files.Save());
  EXPECT_EQ(ReadFile(dir.File("QLXFiles.txt")),
            "\"5\",\"README.TXT\",\"/a/\"\r\n\"6\",\"b.txt\",\"/b/\"\r\n\"5\",\"c.txt\",\"/c/\"\r\n");
  files.ClearUserFilter();
  EXPECT_EQ(files.CountMatching(), 3);
}

TEST(RecordFileTest, SaveLeavesOutLinesThatCouldNotBeReadBack) {
  TempDir dir;
  const std::string long_text(kMaxLineLength + 1, 'x');
  EXPECT_FALSE(FileList(dir.Path() + "/").Add(std::make_unique<FileRecord>(1, long_text, "/")));

  // A malformed line loads as a record whose texts hold the line feed.
  WriteFile(dir.File("QLXUsers.txt"), "\"1\",\"Ann\"\n\"unclosed\n\"2\",\"Bob\"\n");
  UserList users(dir.Path() + "/");
  ASSERT_TRUE(users.Load());
  EXPECT_EQ(users.CountMatching(), 3);
  users.FindFirstUser()->SetUserName(long_text);
  ASSERT_TRUE(users.Save());
  EXPECT_EQ(ReadFile(dir.File("QLXUsers.txt")), "\"2\",\"Bob\"\r\n");
}

TEST(RecordFileTest, HoldsNoMoreRecordsThanASignedSixteenBitCount) {
  UserList users("");
  for (std::size_t i = 0; i < kMaxRecords; ++i) ASSERT_TRUE(users.Add(std::make_unique<UserRecord>()));
  EXPECT_FALSE(users.Add(std::make_unique<UserRecord>()));
  EXPECT_EQ(users.CountMatching(), 32767);
}

}  // namespace
}  // namespace tarvex
