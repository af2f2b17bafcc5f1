// AccessControlList: the path prefixes a restricted session may reach, read
// from kAccessFileName, one entry per line (the file is written by hand).
//
// The list is enabled when its last load read at least one entry; a list
// that is not enabled allows everything. A blank line is the empty entry,
// which allows every path. Entries and tested paths are normalised
// (NormalisePath: absolute, no "." or "..", no doubled separators, links
// resolved) and then compared upper-cased (ASCII) as plain prefixes, so an
// entry /DOCS also allows /DOCS2/A.TXT, but no path leaves an entry through
// "..", a symbolic link or a doubled separator. With an enabled list only the
// drive letter C (the system drive, "/") is offered.
//
// The list fails closed: only a line's end (LF or CR LF) is taken off, so a
// lone CR is part of its entry and allows nothing; a line too long to read
// ends the reading but still enables the list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/device_text.h"

namespace tarvex {

inline constexpr std::string_view kAccessFileName = "QLXAccessCtrl.dat";

class AccessControlList {
 public:
  // Reads directory + kAccessFileName (the name alone for an empty directory),
  // adding to the entries already held; a line of kLineBufferSize characters
  // or more ends the reading. Returns IsEnabled(): false for a missing or
  // unreadable file and for an empty one, true once it held any line. A line
  // that is not UTF-8 (a file written on the original platform) is read in
  // legacy_charset, so that its paths compare with the desktop's UTF-8.
  bool LoadAccessList(std::string_view directory,
                      std::string_view legacy_charset = kDefaultDeviceCharset);

  bool IsPathAllowed(std::string_view path) const;
  // drive_letter is a one-letter text; ASCII case is ignored.
  bool IsDriveAllowed(std::string_view drive_letter) const;
  bool IsEnabled() const { return enabled_; }

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::vector<std::string> entries_;  // normalised and upper-cased
  bool enabled_ = false;
};

}  // namespace tarvex
