// RecollQuery: runs one query against a Recoll index through Recoll's own
// query tool (recollq), started with an argument list and a time-out, in a
// UTF-8 locale (another locale makes non-ASCII queries match wrongly).
//
// The query asks for the exact total (-E), the result window FIRST-COUNT
// (-n), two snippets per result (-p 2) and the fields url, mtype, title,
// filename, ipath and abstract, which the tool prints base64-encoded, one
// result per line. Folders are kept out of the results. A query the tool
// cannot interpret is run again as a plain all-words query; one that the tool
// still cannot run (it fails or crashes on it) answers total 0, with the
// reason in refused_query. A query against an index that does not exist yet
// answers total 0. Only a tool that cannot be started or does not answer in
// time is a failure (ok false).
//
// Safe for concurrent use: every Run starts its own process.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// One result, its fields decoded.
struct EngineHit {
  std::string url;        // "file:///path" for files, "http(s)://..." for web pages
  std::string mime_type;
  std::string title;
  std::string file_name;
  std::string ipath;      // the place inside a container (a message in a mailbox), or ""
  std::string abstract;   // snippet lines, "page : text" each
};

struct EngineAnswer {
  bool ok = false;        // false: the engine could not run (see error)
  std::uint32_t total = 0;
  std::vector<EngineHit> hits;
  std::string error;
  // Set on an answer of no results given because the tool could not run this
  // query (it refused or crashed on it): why, for the engine's log.
  std::string refused_query;
};

// Reads the tool's standard output for a query whose window asked for
// `count` results (at least 1): the count line ("N results ..." for a window
// from the first result, "Printing at most R results from first F" for a
// later one, where the total is R + F + count) and the result lines after
// it. None when no count line is found or a result line is malformed.
std::optional<EngineAnswer> ParseRecollOutput(std::string_view output, std::uint32_t count);

class RecollQuery {
 public:
  struct Options {
    std::string config_dir;            // the Recoll configuration folder (-c)
    std::string program = "recollq";   // looked up in PATH
    std::chrono::milliseconds timeout = std::chrono::seconds(20);
  };

  explicit RecollQuery(Options options) : options_(std::move(options)) {}

  // The results first .. first + count - 1 of a UTF-8 query; count 0 still
  // gives the total.
  EngineAnswer Run(std::string_view text, std::uint32_t first, std::uint32_t count) const;

 private:
  EngineAnswer RunOnce(const std::string& query, bool plain_words, std::uint32_t first,
                       std::uint32_t count) const;

  Options options_;
};

}  // namespace tarvex
