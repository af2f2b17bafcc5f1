#include "searchengine/recoll_query.h"

#include <algorithm>
#include <cstdlib>

#include "platform/spawned_process.h"
#include "searchengine/base64.h"

namespace tarvex {
namespace {

constexpr char kFields[] = "url mtype title filename ipath abstract";
constexpr std::size_t kFieldCount = 6;
constexpr char kFolderType[] = "inode/directory";
constexpr char kFolderFilter[] = "-mime:inode/directory ";
constexpr std::string_view kUninterpretable = "Query string interpretation failed";
constexpr std::string_view kNoDatabase = "open database";

// The signed decimal number at the start of text, and where it ends.
std::optional<long long> LeadingNumber(std::string_view text, std::size_t* end) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  const std::size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - digits < 18) ++i;
  if (i == digits) return std::nullopt;
  *end = i;
  return std::strtoll(std::string(text.substr(0, i)).c_str(), nullptr, 10);
}

// The total told by a count line, or none when the line is not one.
std::optional<long long> CountLineTotal(std::string_view line, std::uint32_t count) {
  std::size_t end = 0;
  constexpr std::string_view kWindowed = "Printing at most ";
  if (line.starts_with(kWindowed)) {
    line.remove_prefix(kWindowed.size());
    const std::optional<long long> rest = LeadingNumber(line, &end);
    constexpr std::string_view kFrom = " results from first ";
    if (!rest || line.substr(end, kFrom.size()) != kFrom) return std::nullopt;
    line.remove_prefix(end + kFrom.size());
    const std::optional<long long> first = LeadingNumber(line, &end);
    if (!first) return std::nullopt;
    return *rest + *first + count;
  }
  const std::optional<long long> total = LeadingNumber(line, &end);
  if (!total || !line.substr(end).starts_with(" results")) return std::nullopt;
  return total;
}

std::optional<EngineHit> ParseResultLine(std::string_view line) {
  std::string fields[kFieldCount];
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const std::size_t space = line.find(' ');
    std::optional<std::string> decoded = DecodeBase64(line.substr(0, space));
    if (!decoded) return std::nullopt;
    fields[i] = std::move(*decoded);
    if (space == std::string_view::npos) {
      if (i + 1 < kFieldCount) return std::nullopt;
      line = {};
    } else {
      line.remove_prefix(space + 1);
    }
  }
  return EngineHit{std::move(fields[0]), std::move(fields[1]), std::move(fields[2]),
                   std::move(fields[3]), std::move(fields[4]), std::move(fields[5])};
}

}  // namespace

std::optional<EngineAnswer> ParseRecollOutput(std::string_view output, std::uint32_t count) {
  EngineAnswer answer;
  bool counted = false;
  while (!output.empty()) {
    const std::size_t end = output.find('\n');
    std::string_view line = output.substr(0, end);
    output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!counted) {
      if (std::optional<long long> total = CountLineTotal(line, count)) {
        answer.total = static_cast<std::uint32_t>(std::clamp<long long>(*total, 0, UINT32_MAX));
        counted = true;
      }
      continue;
    }
    if (line.find_first_not_of(' ') == std::string_view::npos) continue;
    std::optional<EngineHit> hit = ParseResultLine(line);
    if (!hit) return std::nullopt;
    answer.hits.push_back(std::move(*hit));
  }
  if (!counted) return std::nullopt;
  answer.ok = true;
  return answer;
}

EngineAnswer RecollQuery::Run(std::string_view text, std::uint32_t first, std::uint32_t count) const {
  // The filter comes first, so that an unbalanced quote in the text cannot
  // swallow it.
  EngineAnswer answer = RunOnce(kFolderFilter + std::string(text), false, first, count);
  if (!answer.ok && answer.error == kUninterpretable) {
    answer = RunOnce(std::string(text), true, first, count);
  }
  if (!answer.ok && !answer.refused_query.empty()) {
    // The text itself is what the tool cannot run: nothing matches it.
    EngineAnswer none;
    none.ok = true;
    none.refused_query = answer.refused_query;
    return none;
  }
  if (answer.hits.size() > count) answer.hits.resize(count);
  return answer;
}

EngineAnswer RecollQuery::RunOnce(const std::string& query, bool plain_words, std::uint32_t first,
                                  std::uint32_t count) const {
  // A window of 0 means "no limit" to the tool: ask for one and drop it.
  const std::uint32_t window = std::max<std::uint32_t>(count, 1);
  std::vector<std::string> args = {"-c", options_.config_dir, "-E", "-n",
                                   std::to_string(first) + "-" + std::to_string(window),
                                   "-p", "2", "-F", kFields};
  if (plain_words) args.push_back("-a");
  args.push_back("--");
  args.push_back(query);
  const SpawnResult run =
      RunSpawned(options_.program, args, {"LANG=C.UTF-8", "LC_ALL=C.UTF-8"}, options_.timeout);

  EngineAnswer answer;
  if (!run.started) {
    answer.error = "cannot start " + options_.program;
    return answer;
  }
  if (run.timed_out) {
    answer.error = options_.program + " did not answer in time";
    return answer;
  }
  if (run.out.find(kUninterpretable) != std::string::npos ||
      run.err.find(kUninterpretable) != std::string::npos) {
    answer.error = kUninterpretable;
    answer.refused_query = answer.error;
    return answer;
  }
  if (std::optional<EngineAnswer> parsed = ParseRecollOutput(run.out, window)) {
    answer = std::move(*parsed);
  } else if (run.status != 0 && run.err.find(kNoDatabase) != std::string::npos) {
    // No index yet: nothing matches.
    answer.ok = true;
  } else {
    answer.error = options_.program + " failed (status " + std::to_string(run.status) + ")";
    const std::size_t line_end = run.err.find('\n');
    if (!run.err.empty()) answer.error += ": " + run.err.substr(0, std::min<std::size_t>(line_end, 200));
    answer.refused_query = answer.error;
    return answer;
  }
  if (plain_words) {
    std::erase_if(answer.hits, [](const EngineHit& hit) { return hit.mime_type == kFolderType; });
  }
  return answer;
}

}  // namespace tarvex
