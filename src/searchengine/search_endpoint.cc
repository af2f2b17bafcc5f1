#include "searchengine/search_endpoint.h"

#include <algorithm>

#include "common/ascii.h"
#include "searchengine/engine_log.h"
#include "searchengine/result_page.h"
#include "searchengine/text_encoding.h"

namespace tarvex {
namespace {

HttpAnswer NotFound() { return {404, "text/plain; charset=UTF-8", "Not found\n"}; }

// A decimal argument; `fallback` when absent, 0 when not a number.
std::uint32_t Number(const std::optional<std::string>& text, std::uint32_t fallback) {
  if (!text) return fallback;
  return static_cast<std::uint32_t>(std::max(ParseDecimal(*text), 0));
}

}  // namespace

HttpAnswer SearchEndpoint::Answer(const HttpRequest& request) const {
  const std::optional<std::string> text = request.Argument("q");
  const std::optional<std::string> format = request.Argument("format");
  if (request.method != "GET" || request.path != path_ || !text || (format && *format != "xml")) {
    return NotFound();
  }
  const std::uint32_t count = std::min(Number(request.Argument("num"), kDefaultResults), kMaxResults);
  const std::uint32_t first = Number(request.Argument("start"), 0);

  EngineAnswer found;
  found.ok = true;
  // A blank text would ask the engine for every document.
  if (text->find_first_not_of(" \t") != std::string::npos) found = engine_.Run(AsUtf8(*text), first, count);
  if (!found.ok) {
    EngineLog("A search failed: " + found.error);
    return {500, "text/plain; charset=UTF-8", "The search failed\n"};
  }
  if (!found.refused_query.empty()) {
    EngineLog("A query could not be run and was answered with no results: " + found.refused_query);
  }
  return {200, "text/xml; charset=UTF-8", RenderResultPage(found.total, found.hits)};
}

}  // namespace tarvex
