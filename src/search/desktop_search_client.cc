#include "search/desktop_search_client.h"

#include <cstdio>
#include <utility>

#include "common/ascii.h"
#include "platform/http_get.h"
#include "platform/user_store.h"
#include "protocol/codes.h"
#include "search/cvld_exception.h"

namespace tarvex {
namespace {

using protocol::SearchStatus;

struct SearchAddress {
  std::string server;  // a name, an IPv4 address or a bracketed IPv6 address
  long port = 80;
  std::string object_path;
};

bool IsPlainHostCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > 0x20 && byte < 0x7F && c != '/' && c != '?' && c != '#' && c != '@' && c != '\\';
}

// Splits "http://[user[:password]@]server[:port][/object path]"; the user
// name and password are dropped. Throws CVLDException for anything else.
SearchAddress SplitSearchAddress(std::string_view url) {
  const std::size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos || !EqualsIgnoreCaseAscii(url.substr(0, scheme_end), "http")) {
    throw CVLDException(kBadSearchAddressCode);
  }
  std::string_view rest = url.substr(scheme_end + 3);
  const std::size_t authority_end = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, authority_end);
  SearchAddress address;
  address.object_path = authority_end == std::string_view::npos ? "/" : std::string(rest.substr(authority_end));
  if (address.object_path[0] != '/') address.object_path.insert(0, "/");
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);

  std::string_view port;
  if (!authority.empty() && authority[0] == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) throw CVLDException(kBadSearchAddressCode);
    address.server = std::string(authority.substr(0, close + 1));
    authority.remove_prefix(close + 1);
    if (!authority.empty() && authority[0] != ':') throw CVLDException(kBadSearchAddressCode);
    if (!authority.empty()) port = authority.substr(1);
  } else {
    const std::size_t colon = authority.find(':');
    address.server = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
  }
  if (address.server.empty() || address.server == "[]") throw CVLDException(kBadSearchAddressCode);
  for (char c : address.server) {
    if (!IsPlainHostCharacter(c)) throw CVLDException(kBadSearchAddressCode);
  }
  if (!port.empty()) {
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) {
      throw CVLDException(kBadSearchAddressCode);
    }
    address.port = ParseDecimal(port);
    if (address.port < 1 || address.port > 65535) throw CVLDException(kBadSearchAddressCode);
  }
  return address;
}

// Appends the bytes, percent-encoding those a request line cannot hold.
void AppendForRequestLine(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
}

}  // namespace

std::string DesktopSearchClient::GetSearchUrl() const {
  return ReadUserValue(kSearchUrlKeyPath, kSearchUrlValue).value_or("");
}

SearchStatus DesktopSearchClient::RunQuery(std::string_view text, std::uint32_t first, std::uint32_t count,
                                           std::string* page) {
  const std::string url = GetSearchUrl();
  if (url.empty()) {
    last_error_text_ = "No search address";
    return SearchStatus::kNoSearchAddress;
  }
  SearchAddress address;
  try {
    address = SplitSearchAddress(url);
  } catch (const CVLDException& bad) {
    last_error_number_ = bad.Code();
    last_error_text_ = "Bad formed URL in GetFile";
    return SearchStatus::kBadSearchAddress;
  }

  std::string target;
  AppendForRequestLine(target, address.object_path);
  AppendForRequestLine(target, text);
  char parameters[96];
  std::snprintf(parameters, sizeof parameters, "&num=%u&start=%u&flags=512&format=xml",
                static_cast<unsigned>(count), static_cast<unsigned>(first));
  target += parameters;

  std::string body;
  const SearchStatus status = Fetch(address.server, address.port, target, &body);
  if (status == SearchStatus::kOk) *page = std::move(body);
  return status;
}

SearchStatus DesktopSearchClient::Fetch(const std::string& server, long port, const std::string& target,
                                         std::string* body) {
  HttpGetResult reply = HttpGet(server, port, target, timeout_, kMaxBody);
  if (reply.status != 0 && reply.status != 200) {
    last_error_number_ = static_cast<std::uint32_t>(reply.status);
    char text[64];
    std::snprintf(text, sizeof text, "HTTP Error Code: %ld", reply.status);
    last_error_text_ = text;
    return SearchStatus::kSearchFailed;
  }
  if (reply.error != 0) {
    last_error_number_ = static_cast<std::uint32_t>(reply.error);
    last_error_text_ = reply.too_long ? "The search reply is too long" : reply.error_text;
    return SearchStatus::kSearchFailed;
  }
  last_error_number_ = static_cast<std::uint32_t>(reply.status);
  *body = std::move(reply.body);
  return SearchStatus::kOk;
}

}  // namespace tarvex
