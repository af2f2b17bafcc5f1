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

  // Only lines of the strict form are records.
  FileRecord file;
  EXPECT_TRUE(file.ParseLine("\"2\",\"a\"\"b\",\"/d/\"\r\n"));
  EXPECT_EQ(file.GetFileName(), "a\"b");
  for (const char* bad : {"\"2\",\"a\",b.txt\",\"/d/\"\n", "1,x,y\n", "\"2\",\"a\"\n", "\"x\",\"a\",\"b\"",
                          "\"4294967296\",\"a\",\"b\"", "\"2\",\"a\",\"b\" \n", ""}) {
    EXPECT_FALSE(file.ParseLine(bad)) << bad;
  }

  EXPECT_TRUE(UserRecord(1, std::string(kMaxLineLength - 6, 'n')).FormatLine(&line));
  EXPECT_FALSE(UserRecord(1, std::string(kMaxLineLength - 5, 'n')).FormatLine(&line));
  EXPECT_FALSE(UserRecord(1, "two\nlines").FormatLine(&line));
  EXPECT_FALSE(UserRecord(1, "Ann").FormatLine(nullptr));
}

TEST(RecordFileTest, UnreadableLinesAreKeptVerbatimAndNewIdsStayAboveThem) {
  TempDir dir;
  // An over-long line, an empty one, a broken quote, unquoted fields, a line
  // break inside a name: none is a user, none may be lost, no id reused.
  const std::string long_line = "\"90\",\"" + std::string(1100, 'x') + "\"";
  const std::string file = "\"1\",\"Ann\"\r\n\r\n\"2\",\"Bob\"\n" + long_line + "\n\"40\",\"Eve\n" +
                           "7,Ann\n\"3\",\"Cy\",\"extra\"\n\"4\",\"Dee\"";
  WriteFile(dir.File("QLXUsers.txt"), file);
  UserList users(dir.Path() + "/");
  users.Add(std::make_unique<UserRecord>(5, "Kept"));
  ASSERT_TRUE(users.Load());
  ASSERT_EQ(users.CountMatching(), 4);
  std::vector<std::string> names;
  for (UserRecord* u = users.FindFirstUser(); u != nullptr; u = users.FindNextUser()) {
    names.push_back(u->GetUserName());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Kept", "Ann", "Bob", "Dee"}));
  EXPECT_EQ(users.NextUserId(), 91u);
  ASSERT_TRUE(users.Add(std::make_unique<UserRecord>(91, "Fay")));
  ASSERT_TRUE(users.Save());
  EXPECT_EQ(ReadFile(dir.File("QLXUsers.txt")),
            "\"5\",\"Kept\"\r\n\"1\",\"Ann\"\r\n\r\n\"2\",\"Bob\"\r\n" + long_line +
                "\r\n\"40\",\"Eve\r\n7,Ann\r\n\"3\",\"Cy\",\"extra\"\r\n\"4\",\"Dee\"\r\n\"91\",\"Fay\"\r\n");

  WriteFile(dir.File("QLXFiles.txt"), "\"4\",\"a.txt\",\"/d/\"");  // no final line feed
  FileList files(dir.Path() + "/");
  ASSERT_TRUE(files.Load());
  EXPECT_EQ(files.FindFirstFile()->GetDirectory(), "/d/");
  EXPECT_FALSE(FileList(dir.Path() + "/missing/").Load());
}

TEST(RecordFileTest, NextUserIdIsOneAboveTheHighestIdOrNoneIsLeft) {
  TempDir dir;
  UserList users(dir.Path() + "/");
  EXPECT_EQ(users.NextUserId(), 1u);
  users.Add(std::make_unique<UserRecord>(3, "a"));
  users.Add(std::make_unique<UserRecord>(9, "b"));
  EXPECT_EQ(users.NextUserId(), 10u);
  users.Add(std::make_unique<UserRecord>(0xFFFFFFF0u, "high"));
  EXPECT_EQ(users.NextUserId(), 0xFFFFFFF1u);
  users.Add(std::make_unique<UserRecord>(0xFFFFFFFFu, "last"));
  EXPECT_EQ(users.NextUserId(), 0u);
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

TEST(RecordFileTest, RecordsThatCouldNotBeReadBackAreRefused) {
  TempDir dir;
  FileList files(dir.Path() + "/");
  EXPECT_FALSE(files.Add(std::make_unique<FileRecord>(1, std::string(kMaxLineLength, 'x'), "/")));
  EXPECT_FALSE(files.Add(std::make_unique<FileRecord>(1, "two\nlines", "/")));
  // A quote that would end the field early, or pair with the closing quote.
  EXPECT_FALSE(files.Add(std::make_unique<FileRecord>(1, "a\",\"b", "/")));
  EXPECT_FALSE(files.Add(std::make_unique<FileRecord>(1, "quoted\"", "/")));
  ASSERT_TRUE(files.Add(std::make_unique<FileRecord>(1, "say \"hi\" there.txt", "/d/")));
  ASSERT_TRUE(files.Save());
  FileList reread(dir.Path() + "/");
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.FindFile(1, "SAY \"HI\" THERE.TXT")->GetDirectory(), "/d/");
}

TEST(RecordFileTest, HoldsNoMoreRecordsThanASignedSixteenBitCount) {
  UserList users("");
  for (std::size_t i = 0; i < kMaxRecords; ++i) ASSERT_TRUE(users.Add(std::make_unique<UserRecord>()));
  EXPECT_FALSE(users.Add(std::make_unique<UserRecord>()));
  EXPECT_EQ(users.CountMatching(), 32767);
}

}  // namespace
}  // namespace tarvex
