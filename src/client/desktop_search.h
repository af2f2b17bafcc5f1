// The device's side of the desktop search request (105), over a link that
// has logged in (see device_link.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/transport/connection.h"
#include "protocol/codes.h"

namespace tarvex {

struct FoundItem {
  std::uint16_t category = 0;  // protocol::category
  std::string stamp;           // 12 bytes: "YYYYMMDDhhmm", "0"s, or zero bytes (no file)
  std::uint32_t size = 0;
  std::string name;
  std::string directory;
  std::string snippet;
};

struct SearchReply {
  protocol::SearchStatus status = protocol::SearchStatus::kOk;
  std::uint32_t total = 0;   // the engine's number of matches
  std::uint32_t first = 0;   // the first index, as asked
  std::vector<FoundItem> items;
};

// Searches the desktop for `text` (cut to 99 bytes), asking for `count`
// results from index `first`; reads the whole reply. `timeout` (tenths of a
// second) applies to every receive. A reply whose tag is not the request's
// is reported as a receive failure.
Status RequestSearch(Connection* link, std::string_view text, std::uint32_t count,
                     std::uint32_t first, SearchReply* reply, int timeout);

// The name of a category code: "file", "web", "email", "chat" or "other".
std::string_view CategoryName(std::uint16_t category);

}  // namespace tarvex
