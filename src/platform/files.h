// File facilities that need the operating system directly.
//
// NormalisePath makes a path absolute and canonical, so that prefix tests on
// it cannot be escaped with "..", links or doubled separators. CreateIfMissing
// makes an empty file where there is none, never touching an existing one.
// MakeDirectories is "mkdir -p".
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// The absolute form of path ("/" is the only separator on Linux; on Windows
// "/" and "\" are, and the result uses "\" and begins with the drive): a
// relative path is taken from the current directory; repeated separators, "."
// and ".." are resolved; every symbolic link met in the part of the path that
// exists is replaced by its target (on Windows: the existing part takes the
// final name Windows gives it, its letters' case included). The part that does not exist is resolved lexically.
// A trailing separator of the input is kept, and one is added when the path
// ends in a "." or ".." segment (it then names a directory).
// Gives the empty text for an empty path, a path holding a zero byte, an
// unknown current directory or links that nest more than 40 deep.
std::string NormalisePath(std::string_view path);

// Creates an empty file at path unless something exists there already (an
// existing file is never opened for writing). True when a file exists at the
// path afterwards.
bool CreateIfMissing(const std::string& path);

// Modes for MakeDirectories: a folder of this user's own (the application
// folder and what is in it), and a folder that is shared (the exchange
// folders the file service and the search engine use; the umask applies).
// Windows has no modes: a new folder inherits its parent's permissions.
inline constexpr unsigned kPrivateFolderMode = 0700;
inline constexpr unsigned kSharedFolderMode = 0777;

// Makes the directory at path and every missing parent, each with `mode`.
// True when a directory is at path afterwards (made or already there).
bool MakeDirectories(const std::string& path, unsigned mode);

}  // namespace tarvex
