#include "platform/user_key_path.h"

#include "common/ascii.h"

namespace tarvex {

std::vector<std::string_view> SplitUserKeyPath(std::string_view key_path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t end = key_path.find('\\', start);
    std::string_view part = key_path.substr(start, end - start);
    if (part.empty() || part.find('/') != std::string_view::npos) return {};
    parts.push_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (parts.size() < 3 || !EqualsIgnoreCaseAscii(parts[0], "Software")) return {};
  parts.erase(parts.begin());
  return parts;
}

bool IsUserValueName(std::string_view value_name) {
  return !value_name.empty() && value_name.find('/') == std::string_view::npos &&
         value_name.find('\\') == std::string_view::npos;
}

}  // namespace tarvex
