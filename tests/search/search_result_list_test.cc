#include <gtest/gtest.h>

#include "datafiles/access_control_list.h"
#include "search/search_result_list.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::TempDir;
using testing::WriteFile;

constexpr char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

class SearchResultListTest : public ::testing::Test {
 protected:
  SearchResultList Parse(const std::string& text, const AccessControlList& access = {}) {
    WriteFile(dir_.File("results.xml"), text);
    SearchResultList list;
    EXPECT_TRUE(list.ParseResultFile(dir_.File("results.xml"), access));
    return list;
  }
  static std::string Result(const std::string& url, const std::string& extra = "") {
    return "<result>\n<category>file</category>\n<url>" + url + "</url>\n" + extra + "</result>\n";
  }
  TempDir dir_;
};

TEST_F(SearchResultListTest, ReadsTotalAndResultsInFileOrderWithTheLineScannersQuirks) {
  const SearchResultList list = Parse(
      std::string(kHead) + "<results count=\"3\" other=\"9\">\r\n\n" +
      "<result>\r\n<category>email</category>\r\n<title lang=\"en\">Hi</title>\n"
      "<url>/a.txt</url><url>/second.txt</url>\n<snippet>split\n over</snippet>\n</result>\n" +
      "\n" + Result("/b.txt", "<title>B</title>\n<snippet>x &amp; y</snippet>\n") +
      Result("/c.txt") + "</results>\n\n");
  EXPECT_EQ(list.GetTotal(), 3);
  ASSERT_EQ(list.GetResultCount(), 3);
  const SearchResult* first = list.GetResult(0);
  EXPECT_EQ(first->category, "email");
  EXPECT_EQ(first->title, "") << "a tag with an attribute does not match";
  EXPECT_EQ(first->url, "/a.txt") << "the first of two urls";
  EXPECT_EQ(first->snippet, "split over") << "lines join without a separator";
  EXPECT_EQ(list.GetResult(1)->title, "B");
  EXPECT_EQ(list.GetResult(1)->snippet, "x &amp; y") << "texts other than the url stand as written";
  EXPECT_EQ(list.GetResult(2)->url, "/c.txt");
  EXPECT_EQ(list.GetResult(3), nullptr);
  EXPECT_EQ(list.GetResult(-1), nullptr);
}

TEST_F(SearchResultListTest, WhatEndsTheResults) {
  // A line that is not a result start ends the results.
  EXPECT_EQ(Parse(std::string(kHead) + "<results count=\"5\">\n" + Result("/a") + "<other/>\n" + Result("/b"))
                .GetResultCount(),
            1);
  // So does an empty result element.
  EXPECT_EQ(Parse(std::string(kHead) + "<results count=\"5\">\n<result>\n</result>\n" + Result("/b"))
                .GetResultCount(),
            0);
  // A second line without "<results" gives no total but the results count.
  const SearchResultList no_total = Parse(std::string(kHead) + "<list count=\"5\">\n" + Result("/a"));
  EXPECT_EQ(no_total.GetTotal(), 0);
  EXPECT_EQ(no_total.GetResultCount(), 1);
  // A file that ends early: whatever was read stands.
  EXPECT_EQ(Parse(kHead).GetTotal(), 0);
  const SearchResultList cut = Parse(std::string(kHead) + "<results count=\" 7x\">\n<result>\n<url>/a</url>\n");
  EXPECT_EQ(cut.GetTotal(), 7);
  EXPECT_EQ(cut.GetResultCount(), 1);
  // A line of 10000 characters reads as no line; reading goes on behind it.
  const SearchResultList long_line =
      Parse(std::string(kHead) + "<results count=\"2\">\n" + Result("/a", std::string(10000, 'x') + "\n"));
  EXPECT_EQ(long_line.GetResultCount(), 1);

  SearchResultList missing;
  EXPECT_FALSE(missing.ParseResultFile(dir_.File("none.xml"), AccessControlList()));
  EXPECT_EQ(missing.GetTotal(), 0);
}

TEST_F(SearchResultListTest, RestrictedListDropsResultsOutsideItButKeepsTheTotal) {
  WriteFile(dir_.File("QLXAccessCtrl.dat"), dir_.File("docs") + "/\n");
  AccessControlList access;
  ASSERT_TRUE(access.LoadAccessList(dir_.Path() + "/"));
  const SearchResultList list =
      Parse(std::string(kHead) + "<results count=\"40\">\n" + Result(dir_.File("docs/a.txt")) +
                Result("http://example.com/") + Result(dir_.File("docs/../other/b.txt")) +
                Result(dir_.File("docs/Q&amp;A.txt")) + Result(""),
            access);
  EXPECT_EQ(list.GetTotal(), 40);
  ASSERT_EQ(list.GetResultCount(), 2);
  EXPECT_EQ(list.GetResult(0)->url, dir_.File("docs/a.txt"));
  EXPECT_EQ(list.GetResult(1)->url, dir_.File("docs/Q&A.txt")) << "the url names the real file";
}

}  // namespace
}  // namespace tarvex
