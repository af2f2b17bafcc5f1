#include "common/path.h"

namespace tarvex {

bool EndsInSeparator(std::string_view path) {
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

std::string WithTrailingSeparator(std::string directory) {
  if (!directory.empty() && !EndsInSeparator(directory)) directory += '/';
  return directory;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  return WithTrailingSeparator(std::string(directory)).append(name);
}

PathParts SplitPath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  return {path.substr(0, name_start), path.substr(name_start)};
}

std::string Dirname(std::string_view path) {
  const std::string_view directory = SplitPath(path).directory;
  if (directory.empty()) return ".";
  return directory.size() == 1 ? "/" : std::string(directory.substr(0, directory.size() - 1));
}

std::string Basename(std::string_view path, std::string_view separators) {
  const std::size_t last = path.find_last_of(separators);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

}  // namespace tarvex
