#include <gtest/gtest.h>

#include "search/search_result_list.h"

namespace tarvex {
namespace {

SearchResultList Parse(const std::string& page) {
  SearchResultList list;
  list.Parse(page);
  return list;
}

std::string Result(const std::string& url, const std::string& extra = "") {
  return "<result>\n<category>file</category>\n<url>" + url + "</url>\n" + extra + "</result>\n";
}

constexpr char kHead[] = "<?xml version=\"1.0\"?>\n";

// The pages of our own engine are checked in result_page_test; these are the
// pages an engine may give that a scanner could misread into a crash or
// into results that were never sent.
TEST(SearchResultListTest, BlankLinesLongLinesAndCutPagesKeepWhatWasRead) {
  const SearchResultList list =
      Parse(std::string(kHead) + "<results count=\"3\">\n\n" + Result("/a.txt", "<snippet>split\n over</snippet>\n") +
            "\n" + Result("/b.txt") + "<other/>\n" + Result("/never.txt"));
  EXPECT_EQ(list.GetTotal(), 3);
  ASSERT_EQ(list.Results().size(), 2u) << "a line that starts no result ends the results";
  EXPECT_EQ(list.Results()[0].snippet, "split over");
  EXPECT_EQ(list.Results()[1].url, "/b.txt");
  const SearchResultList long_line = Parse(std::string(kHead) + "<results count=\"1\">\n" +
                                           Result("/a", "<snippet>" + std::string(10000, 'x') + "</snippet>\n"));
  ASSERT_EQ(long_line.Results().size(), 1u);
  EXPECT_EQ(long_line.Results()[0].snippet, "") << "a line too long to read is none";

  const SearchResultList cut = Parse(std::string(kHead) + "<results count=\" 7x\">\n<result>\n<url>/a</url>\n");
  EXPECT_EQ(cut.GetTotal(), 7);
  ASSERT_EQ(cut.Results().size(), 1u);
}

}  // namespace
}  // namespace tarvex
