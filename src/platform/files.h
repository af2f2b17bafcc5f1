// File facilities that need the operating system directly.
//
// WriteFileAtomically replaces a file whole: the contents go to a temporary
// file in the same directory, which is flushed to disk and then renamed over
// the old file, so a reader or a crash sees the old file or the new one,
// never a torn one. On failure the old file is left as it was and no
// temporary file remains.
//
// NormalisePath makes a path absolute and canonical, so that prefix tests on
// it cannot be escaped with "..", links or doubled separators.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// True when the file at path now holds exactly contents. The replaced file's
// permission bits are kept; a new file gets 0666 less the process's umask.
bool WriteFileAtomically(const std::string& path, std::string_view contents);

// The absolute form of path ("/" is the only separator): a relative path is
// taken from the current directory; repeated separators, "." and ".." are
// resolved; every symbolic link met in the part of the path that exists is
// replaced by its target. The part that does not exist is resolved lexically.
// A trailing separator of the input is kept, and one is added when the path
// ends in a "." or ".." segment (it then names a directory).
// Gives the empty text for an empty path, a path holding a zero byte, an
// unknown current directory or links that nest more than 40 deep.
std::string NormalisePath(std::string_view path);

}  // namespace tarvex
