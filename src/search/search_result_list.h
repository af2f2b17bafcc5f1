// SearchResultList: the results of one desktop search, read from the page
// that DesktopSearchClient gave back.
//
// Parse is a line scanner that relies on the layout of the search engine's
// XML page, not an XML parser: the first line is skipped; the second gives
// the total (the first double-quoted value of a line holding "<results");
// then each result is a "<result>" line, element lines joined without
// separator, and a "</result>" line. Where a result should begin, a line
// without "<result>", an empty result or the end of the page ends the
// results. Blank lines are skipped everywhere; a line of kMaxLine characters
// or more reads as no line, and reading goes on behind it.
//
// Element texts are taken as they stand (no trimming, no decoding), except
// the url: it names a file on this computer, so its character references are
// decoded (xml_text.h). Every result is kept: which of them a device may see
// is the file session's decision. Malformed input never fails the parse:
// what was read stands. One list belongs to one request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct SearchResult {
  std::string category;
  std::string title;
  std::string url;
  std::string snippet;
};

// The text between the first "<tag>" of the block and the first "</tag>"
// after it; empty when either is missing. An opening tag with attributes
// does not match.
std::string ExtractElement(std::string_view block, std::string_view tag);

class SearchResultList {
 public:
  static constexpr std::size_t kMaxLine = 10000;

  void Parse(std::string_view page);

  // The engine's number of matches, 0 when the page gives none.
  std::int32_t GetTotal() const { return total_; }
  // The results in page order.
  const std::vector<SearchResult>& Results() const { return results_; }

 private:
  std::int32_t total_ = 0;
  std::vector<SearchResult> results_;
};

}  // namespace tarvex
