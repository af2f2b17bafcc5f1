// JoinTexts: concatenates texts into one new text, the way every file path of
// the system is made (a directory ending in a separator, then a name).
//
// The joined length is a signed 16-bit quantity in the protocol's world, so a
// joined text holds at most kMaxJoinedLength characters; a longer result is
// refused (std::nullopt) rather than silently cut.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::size_t kMaxJoinedLength = 32766;

std::optional<std::string> JoinTexts(std::initializer_list<std::string_view> parts);

}  // namespace tarvex
