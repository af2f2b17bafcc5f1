// Paths as texts, with no look at the file system. "/" is where a path is
// split; where a name is joined to a directory, a directory that already ends
// in "/" or "\" (a path of the original platform) gets no second separator.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// True when the path ends in "/" or "\".
bool EndsInSeparator(std::string_view path);

// The directory ready to have a name joined to it: "/" appended unless it is
// empty or already ends in a separator.
std::string WithTrailingSeparator(std::string directory);

// The directory, a "/" unless it is empty or ends in a separator, then the
// name: the name alone for an empty directory.
std::string JoinPath(std::string_view directory, std::string_view name);

// The path up to and with its last "/" (empty without one), and the rest.
struct PathParts {
  std::string_view directory;
  std::string_view name;
};
PathParts SplitPath(std::string_view path);

// The directory a path names its entry in: the path before its last "/";
// "/" for an entry of the root; "." for a path without "/".
std::string Dirname(std::string_view path);

// What follows the last of `separators` (the whole path without one). Paths
// of another machine (a server's, given to the device) may use "\" as well.
std::string Basename(std::string_view path, std::string_view separators = "/");

}  // namespace tarvex
