#include "platform/path.h"

namespace tarvex {
namespace {

// Whether "X:" names a drive of its own (Windows only).
constexpr bool kDriveLetters = kPathSeparator == '\\';

bool IsDrive(std::string_view text) {
  return kDriveLetters && text.size() == 2 && text[1] == ':' &&
         ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

}  // namespace

bool EndsInSeparator(std::string_view path) {
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

std::string WithTrailingSeparator(std::string directory) {
  if (!directory.empty() && !EndsInSeparator(directory)) directory += kPathSeparator;
  return directory;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  return WithTrailingSeparator(std::string(directory)).append(name);
}

PathParts SplitPath(std::string_view path) {
  const std::size_t last = path.find_last_of(kPathSeparators);
  const std::size_t name_start = last == std::string_view::npos ? 0 : last + 1;
  return {path.substr(0, name_start), path.substr(name_start)};
}

std::string Dirname(std::string_view path) {
  const std::string_view directory = SplitPath(path).directory;
  if (directory.empty()) return ".";
  const std::string_view without_separator = directory.substr(0, directory.size() - 1);
  // A root keeps its separator.
  if (without_separator.empty() || IsDrive(without_separator)) return std::string(directory);
  return std::string(without_separator);
}

std::string Basename(std::string_view path, std::string_view separators) {
  const std::size_t last = path.find_last_of(separators);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

bool IsAbsolutePath(std::string_view path) {
  if (path.empty()) return false;
  if (kPathSeparators.find(path.front()) != std::string_view::npos) return true;
  return path.size() >= 3 && IsDrive(path.substr(0, 2)) && kPathSeparators.find(path[2]) != std::string_view::npos;
}

}  // namespace tarvex
