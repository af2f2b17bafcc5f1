// DesktopSearchClient: hands one search to the desktop search engine over its
// local HTTP interface and gives back the page it answers.
//
// The engine's address is the value kSearchUrlValue under kSearchUrlKeyPath
// in the per-user store, for example "http://127.0.0.1:4664/search?q=".
// RunQuery sends one GET whose request target is the address's object path,
// then the search text, then "&num=<count>&start=<first>&flags=512&format=xml"
// (numbers in decimal). The text goes out as it came, except the bytes that
// cannot stand in a request line: space, control characters and bytes above
// 0x7E are percent-encoded ("%20"); "&", "%", "+" and the rest go out as
// typed. The request carries "Accept: */*" and "User-Agent: VLD GDS";
// redirects are not followed, nothing is cached, and a loopback address is
// never reached through a proxy.
//
// Statuses (protocol::SearchStatus):
//   0     HTTP 200; the body is the page, every carriage return left out,
//         zero bytes kept.
//   1001  no address: the value is missing, too long or empty.
//   1002  the address cannot be split into scheme, server, port and object
//         path, or its scheme is not http (a CVLDException with code 1,
//         caught here).
//   1003  any HTTP status but 200, a failed exchange (no server, time-out, a
//         body over kMaxBody bytes).
// Any status but 0 leaves the page untouched. LastErrorText and
// LastErrorNumber tell what happened last.
//
// One client serves one request on one thread; clients on different threads
// may run at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/codes.h"

namespace tarvex {

inline constexpr std::string_view kSearchUrlKeyPath = "Software\\Google\\Google Desktop\\API";
inline constexpr std::string_view kSearchUrlValue = "search_url";

class DesktopSearchClient {
 public:
  static constexpr std::size_t kMaxBody = std::size_t{32} << 20;

  // `timeout` bounds the whole exchange, connecting included.
  explicit DesktopSearchClient(std::chrono::milliseconds timeout = std::chrono::seconds(60))
      : timeout_(timeout) {}

  // The search address, "" when there is none.
  std::string GetSearchUrl() const;

  protocol::SearchStatus RunQuery(std::string_view text, std::uint32_t first, std::uint32_t count,
                                  std::string* page);

  const std::string& LastErrorText() const { return last_error_text_; }
  // The HTTP status of the last exchange, or the number of its failure.
  std::uint32_t LastErrorNumber() const { return last_error_number_; }

 private:
  protocol::SearchStatus Fetch(const std::string& server, long port, const std::string& target, std::string* body);

  std::chrono::milliseconds timeout_;
  std::string last_error_text_;
  std::uint32_t last_error_number_ = 0;
};

}  // namespace tarvex
