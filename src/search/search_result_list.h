// SearchResultList: the results of one desktop search, read back from the
// result file that DesktopSearchClient wrote.
//
// ParseResultFile is a line scanner that relies on the layout of the search
// engine's XML page, not an XML parser: the first line is skipped; the second
// gives the total (the first double-quoted value of a line holding
// "<results"); then each result is a "<result>" line, element lines joined
// without separator, and a "</result>" line. Where a result should begin, a
// line without "<result>", an empty result or the end of the file ends the
// results. Blank lines are skipped everywhere; a line of kMaxLine characters
// or more reads as no line, and reading goes on behind it.
//
// Element texts are taken as they stand (no trimming, no decoding), except
// the url: it names a file on this computer, so its character references are
// decoded (xml_text.h). Results whose url the access list refuses are
// dropped; the total stays the engine's number. Malformed input never fails
// the parse: what was read stands. One list belongs to one request.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

class AccessControlList;

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

  // False when the file cannot be opened (total and count stay 0).
  bool ParseResultFile(const std::string& path, const AccessControlList& access);

  std::int32_t GetTotal() const { return total_; }
  std::int32_t GetResultCount() const { return static_cast<std::int32_t>(results_.size()); }
  // The result at index, or nullptr outside 0 .. count - 1.
  const SearchResult* GetResult(std::int32_t index) const;

 private:
  bool ReadTextLine(std::string* line);
  std::string ReadResultBlock();

  std::int32_t total_ = 0;
  std::vector<SearchResult> results_;
  std::ifstream input_;
};

}  // namespace tarvex
