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

// A directory ready to have a name joined to it: "/" appended unless it is
// empty or already ends in "/" or "\" (paths of the original platform).
inline std::string WithTrailingSeparator(std::string directory) {
  if (!directory.empty() && directory.back() != '/' && directory.back() != '\\') directory += '/';
  return directory;
}

// The path of a data file: the data directory, a separator when it lacks one,
// then the file name; the name alone for an empty directory. Every path to a
// file of the data directory is made here. None when it would be too long.
inline std::optional<std::string> DataFilePath(std::string_view data_dir, std::string_view file_name) {
  const bool separated = data_dir.empty() || data_dir.back() == '/' || data_dir.back() == '\\';
  return JoinTexts({data_dir, separated ? "" : "/", file_name});
}

}  // namespace tarvex
