#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "datafiles/file_list.h"
#include "datafiles/user_list.h"
#include "platform/file_info.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(RecordFileTest, OnlyRecordsThatReadBackAreWrittenAndOnlyTheStrictFormIsRead) {
  TempDir dir;
  FileList files(dir.Path() + "/");
  EXPECT_FALSE(files.Add(std::make_unique<FileRecord>(1, "two\nlines", "/")));
  // A quote that would end the field early, or pair with the closing quote.
  EXPECT_FALSE(files.Add(std::make_unique<FileRecord>(1, "a\",\"b", "/")));
  EXPECT_FALSE(files.Add(std::make_unique<FileRecord>(1, "quoted\"", "/")));
  ASSERT_TRUE(files.Add(std::make_unique<FileRecord>(1, "say \"hi\" there.txt", "/d/")));
  ASSERT_TRUE(files.Save());
  FileList reread(dir.Path() + "/");
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.FindFile(1, "SAY \"HI\" THERE.TXT")->GetDirectory(), "/d/");
  // The longest line that reads back is written; one more character is not.
  std::string line;
  EXPECT_TRUE(UserRecord(1, std::string(kMaxLineLength - 6, 'n')).FormatLine(&line));
  EXPECT_FALSE(UserRecord(1, std::string(kMaxLineLength - 5, 'n')).FormatLine(&line));

  FileRecord file;
  EXPECT_TRUE(file.ParseLine("\"2\",\"a\"\"b\",\"/d/\"\r\n"));
  EXPECT_EQ(file.GetFileName(), "a\"b");
  for (const char* bad : {"\"2\",\"a\",b.txt\",\"/d/\"\n", "1,x,y\n", "\"2\",\"a\"\n", "\"x\",\"a\",\"b\"",
                          "\"4294967296\",\"a\",\"b\"", "\"2\",\"a\",\"b\" \n", "",
                          // A text with a quote before a CR, which no line could write back.
                          "\"2\",\"a\"\rb\",\"/d/\"\r\n"}) {
    EXPECT_FALSE(file.ParseLine(bad)) << bad;
  }
}

TEST(RecordFileTest, UnreadableLinesAreKeptVerbatimAndNewIdsStayAboveThem) {
  TempDir dir;
  // An over-long line, an empty one, a broken quote, unquoted fields, a line
  // break inside a name, a name no line could write back: none is a user,
  // none may be lost, no id reused.
  const std::string long_line = "\"90\",\"" + std::string(1100, 'x') + "\"";
  const std::string file = "\"1\",\"Ann\"\r\n\r\n\"2\",\"Bob\"\n" + long_line + "\n\"40\",\"Eve\n" +
                           "7,Ann\n\"3\",\"Cy\",\"extra\"\n\"6\",\"Gus\"\rx\"\n\"4\",\"Dee\"";
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
  // A save replaces the file whole, so that a reader sees the old or the new.
  // Another name of the old file goes on reading what it held.
  std::filesystem::create_hard_link(dir.File("QLXUsers.txt"), dir.File("old"));
  ASSERT_TRUE(users.Save());
  EXPECT_EQ(ReadFile(dir.File("old")), file) << "rewritten in place";
  EXPECT_EQ(ReadFile(dir.File("QLXUsers.txt")),
            "\"5\",\"Kept\"\r\n\"1\",\"Ann\"\r\n\r\n\"2\",\"Bob\"\r\n" + long_line +
                "\r\n\"40\",\"Eve\r\n7,Ann\r\n\"3\",\"Cy\",\"extra\"\r\n\"6\",\"Gus\"\rx\"\r\n\"4\",\"Dee\"\r\n"
                "\"91\",\"Fay\"\r\n");
  users.Add(std::make_unique<UserRecord>(0xFFFFFFFFu, "last"));
  EXPECT_EQ(users.NextUserId(), 0u) << "ids are compared unsigned, and none is left";

  // A user's walk shows only their files; a save writes every record.
  WriteFile(dir.File("QLXFiles.txt"), "\"4\",\"a.txt\",\"/d/\"\r\n\"5\",\"b.txt\",\"/e/\"");  // no final line feed
  FileList files(dir.Path() + "/");
  ASSERT_TRUE(files.Load());
  files.SetUserFilter(5);
  EXPECT_EQ(files.FindFirstFile()->GetDirectory(), "/e/");
  EXPECT_EQ(files.FindNextFile(), nullptr);
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(ReadFile(dir.File("QLXFiles.txt")), "\"4\",\"a.txt\",\"/d/\"\r\n\"5\",\"b.txt\",\"/e/\"\r\n");
  // Only a missing file is an empty list; one that cannot be read is refused
  // and the list keeps what it held.
  EXPECT_TRUE(FileList(dir.Path() + "/missing/").Load());
  std::filesystem::create_directory(dir.File("unreadable"));
  std::filesystem::create_directory(dir.File("unreadable/QLXFiles.txt"));
  FileList refused(dir.File("unreadable"));  // no separator: one is added
  EXPECT_FALSE(refused.Load());
  EXPECT_EQ(ClassifyFileError(refused.LoadError(), refused.Path()), FileErrorKind::kAccessDenied);
  EXPECT_EQ(refused.Path(), JoinPath(dir.File("unreadable"), "QLXFiles.txt"));
}

}  // namespace
}  // namespace tarvex
