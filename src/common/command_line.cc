// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/command_line.h"

#include <algorithm>

#include "platform/path.h"

namespace tarvex {

CLI::Validator WholeNumber(std::uint64_t min, std::uint64_t max) {
  const std::string range = "from " + std::to_string(min) + " to " + std::to_string(max);
  return CLI::Validator(
      [min, max, range](std::string& text) -> std::string {
        const bool digits = !text.empty() && text.size() <= 19 &&
                            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || std::stoull(text) < min || std::stoull(text) > max) {
          return (text.empty() ? std::string("an empty value") : text) + " is not a whole number " + range;
        }
        return "";
      },
      "N", "WholeNumber");
}

std::string ParseArguments(CLI::App& app, const std::vector<std::string>& args) {
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ExtrasError&) {
    std::string extra;
    for (const std::string& arg : app.remaining()) extra += (extra.empty() ? "" : " ") + arg;
    return "unknown argument " + extra;
  } catch (const CLI::ArgumentMismatch& e) {
    return e.what();
  } catch (const CLI::ParseError& e) {
    return e.what();
  }
  return "";
}

std::string FromDirectory(const std::string& base, const std::string& path) {
  if (path.empty() || IsAbsolutePath(path) || base.empty()) return path;
  return JoinPath(base, path);
}

}  // namespace tarvex
