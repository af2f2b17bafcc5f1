#include "search/desktop_search_client.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <mutex>

#include "common/ascii.h"
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

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The body of a 200 reply, collected without its carriage returns; the body
// of any other reply is not wanted and is dropped.
struct BodySink {
  CURL* handle;
  std::string* body;
  bool too_long = false;

  static std::size_t Write(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const std::size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(sink->handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) return n;
    for (std::size_t i = 0; i < n; ++i) {
      if (data[i] != '\r') sink->body->push_back(data[i]);
    }
    if (sink->body->size() > DesktopSearchClient::kMaxBody) {
      sink->too_long = true;
      return 0;  // ends the transfer
    }
    return n;
  }
};

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
  const std::string server_url = "http://" + address.server + ":" + std::to_string(address.port) + "/";
  const SearchStatus status = Fetch(server_url, target, &body);
  if (status == SearchStatus::kOk) *page = std::move(body);
  return status;
}

SearchStatus DesktopSearchClient::Fetch(const std::string& url, const std::string& target,
                                         std::string* body) {
  InitialiseCurlOnce();
  std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
  if (!handle) {
    last_error_text_ = "Cannot start an HTTP request";
    return SearchStatus::kSearchFailed;
  }
  std::unique_ptr<curl_slist, HeaderListDeleter> headers(curl_slist_append(nullptr, "Accept: */*"));
  if (headers) curl_slist_append(headers.get(), "User-Agent: VLD GDS");
  char error[CURL_ERROR_SIZE] = "";
  BodySink sink{handle.get(), body};
  CURL* h = handle.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_REQUEST_TARGET, target.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);  // an error page is not read
  curl_easy_setopt(h, CURLOPT_NOPROXY, "localhost,127.0.0.0/8,::1");
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_.count()));
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &BodySink::Write);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);

  const CURLcode result = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  if (status != 0 && status != 200) {
    last_error_number_ = static_cast<std::uint32_t>(status);
    char text[64];
    std::snprintf(text, sizeof text, "HTTP Error Code: %ld", status);
    last_error_text_ = text;
    return SearchStatus::kSearchFailed;
  }
  if (result != CURLE_OK) {
    last_error_number_ = static_cast<std::uint32_t>(result);
    last_error_text_ = sink.too_long ? "The search reply is too long"
                                     : (error[0] != '\0' ? error : curl_easy_strerror(result));
    return SearchStatus::kSearchFailed;
  }
  last_error_number_ = static_cast<std::uint32_t>(status);
  return SearchStatus::kOk;
}

}  // namespace tarvex
