// Paths of this computer as texts, with no look at the file system. The
// separator the system appends is the platform's: "/" on Linux, "\" on
// Windows. A path is split at "/" on Linux and at "\" or "/" on Windows. A
// directory that already ends in "/" or "\" gets no second separator.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/join_texts.h"

namespace tarvex {

// A compile-time fact of the platform, hence the one conditional here.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
#endif

// True when the path ends in "/" or "\".
bool EndsInSeparator(std::string_view path);

// The directory ready to have a name joined to it: kPathSeparator appended
// unless it is empty or already ends in a separator.
std::string WithTrailingSeparator(std::string directory);

// The directory, a kPathSeparator unless it is empty or ends in a separator,
// then the name: the name alone for an empty directory.
std::string JoinPath(std::string_view directory, std::string_view name);

// The path up to and with its last separator (empty without one), and the
// rest.
struct PathParts {
  std::string_view directory;
  std::string_view name;
};
PathParts SplitPath(std::string_view path);

// The directory a path names its entry in: the path before its last
// separator; the root ("/"; on Windows also "\" or a drive's "C:\") for an
// entry of a root; "." for a path without a separator.
std::string Dirname(std::string_view path);

// What follows the last of `separators` (the whole path without one). Paths
// of another machine (a server's, given to the device) may use "\" as well.
std::string Basename(std::string_view path, std::string_view separators = kPathSeparators);

// True for a path that does not depend on the current directory: one that
// begins with "/" on Linux; one that begins with a separator or with a drive
// letter, a colon and a separator on Windows.
bool IsAbsolutePath(std::string_view path);

// The path of a data file: JoinPath of the data directory and the file name.
// Every path to a file of the data directory is made here. None when it would
// be longer than kMaxJoinedLength.
inline std::optional<std::string> DataFilePath(std::string_view data_dir, std::string_view file_name) {
  std::string path = JoinPath(data_dir, file_name);
  if (path.size() > kMaxJoinedLength) return std::nullopt;
  return path;
}

}  // namespace tarvex
