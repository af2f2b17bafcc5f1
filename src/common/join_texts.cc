#include "common/join_texts.h"

namespace tarvex {

std::optional<std::string> JoinTexts(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  if (total > kMaxJoinedLength) return std::nullopt;
  std::string joined;
  joined.reserve(total);
  for (std::string_view part : parts) joined.append(part);
  return joined;
}

}  // namespace tarvex
