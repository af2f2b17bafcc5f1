// SearchEndpoint: the desktop search interface at one path,
//
//   GET <path>?q=<text>&num=<count>&start=<first>&flags=512&format=xml
//
// answered with the result page (result_page.h) of the engine's results
// first .. first + count - 1 and its total. count is at most kMaxResults
// (kDefaultResults when absent), first defaults to 0; flags is ignored. A
// text that is not valid UTF-8 is read as Windows-1252; a blank text finds
// nothing. Every other request (another method or path, no q, a format other
// than xml) gets 404; a query the engine fails on gets 500 and is logged.
// Safe for concurrent use.
#pragma once

#include <cstdint>
#include <string>

#include "searchengine/http_service.h"
#include "searchengine/query_cache.h"

namespace tarvex {

class SearchEndpoint {
 public:
  static constexpr std::uint32_t kMaxResults = 100;
  static constexpr std::uint32_t kDefaultResults = 10;

  SearchEndpoint(std::string path, QueryCache& engine) : path_(std::move(path)), engine_(engine) {}

  HttpAnswer Answer(const HttpRequest& request) const;

 private:
  std::string path_;
  QueryCache& engine_;
};

}  // namespace tarvex
