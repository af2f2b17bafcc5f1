// AccessControlList: the path prefixes a restricted session may reach, read
// from kAccessFileName, one entry per line (the file is written by hand).
//
// The list is enabled when its last load read at least one line; a list that
// is not enabled allows everything. Entries and tested paths are normalised
// (NormalisePath: absolute, no "." or "..", no doubled separators, links
// resolved) and compared as plain prefixes, so an entry /docs also allows
// /docs2/a.txt, but no path leaves an entry through "..", a symbolic link or
// a doubled separator. Letters compare exactly where file systems are
// case-sensitive, upper-cased (ASCII) where they are not (PathsIgnoreCase).
// With an enabled list only the drive letter C (the system drive, "/") is
// offered.
//
// A blank line (empty, or spaces and tabs only) among entries is ignored. A
// file of blank lines alone keeps the meaning a blank line always had: the
// list is enabled and every path is allowed.
//
// The list fails closed: a file that exists but cannot be read (a directory,
// a FIFO, a dangling link, no permission, a read error) enables the list and
// allows nothing; only a missing or empty file leaves it disabled. Only a
// line's end (LF or CR LF) is taken off, so a lone CR is part of its entry and
// allows nothing; a line too long to read ends the reading but still enables
// the list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/device_text.h"

namespace tarvex {

inline constexpr std::string_view kAccessFileName = "QLXAccessCtrl.dat";

class AccessControlList {
 public:
  // Reads kAccessFileName in directory (DataFilePath; the name alone for an
  // empty directory), adding to the entries already held; a line of
  // kLineBufferSize characters or more ends the reading. Returns IsEnabled():
  // false for a missing file and for an empty one, true once it held any
  // line or could not be read. A line that is not UTF-8 (a file written on
  // the original platform) is read in legacy_charset, so that its paths
  // compare with the desktop's UTF-8.
  bool LoadAccessList(std::string_view directory,
                      std::string_view legacy_charset = kDefaultDeviceCharset);

  bool IsPathAllowed(std::string_view path) const;
  // drive_letter is a one-letter text; ASCII case is ignored.
  bool IsDriveAllowed(std::string_view drive_letter) const;
  bool IsEnabled() const { return enabled_; }

  const std::string& Path() const { return path_; }
  // The errno value when the last load found the file but could not read
  // it (the list then allows nothing); 0 otherwise.
  int LoadError() const { return load_error_; }

 private:
  // A path as entries are kept: upper-cased where paths ignore case.
  static std::string Folded(std::string path);

  std::string path_;
  std::vector<std::string> entries_;  // normalised and folded
  bool enabled_ = false;
  int load_error_ = 0;
  bool only_blank_lines_ = false;  // every line read was blank: all allowed
};

}  // namespace tarvex
