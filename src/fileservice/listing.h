// The entries of the directory and drive listings (ListDirectory,
// ListDrives), apart from their handlers.
//
// A directory listing holds ".." first, then the directories, then the
// files, each group in ASCII case-insensitive name order (equal names keep
// the order the file system gave). Names beginning with "." are never listed,
// which also hides the temporary files of uploads in progress.
#pragma once

#include <string>
#include <vector>

#include "datafiles/access_control_list.h"

namespace tarvex {

struct DirEntry {
  std::string name;  // without a path; a drive root ends in "/"
  bool is_directory = false;
};

// True when `a` stands before `b` in a listing.
bool StandsBefore(const DirEntry& a, const DirEntry& b);

// Puts the entries in listing order: the order that inserting them one by
// one, each before the first entry it stands before, would give. One stable
// sort, so that a directory of 100,000 entries is not ordered in n² steps.
void InsertSorted(std::vector<DirEntry>& entries);

// ".." and the entries of the directory `path` (as the device sent it,
// ending in a separator), in listing order; ".." alone when the directory
// cannot be read. With an enabled access list and a path it does not allow,
// only the directories that it allows (path + name + "/") are listed.
std::vector<DirEntry> ListDirectoryEntries(const std::string& path, const AccessControlList& access);

// The platform's drive roots (platform/mounts.h: "C:\", "D:\" ... on
// Windows; on Linux "/", which stands for the system drive C, then the mount
// points of the drive file systems in byte order); with an enabled access
// list only the one of drive C.
std::vector<DirEntry> ListDriveRoots(const AccessControlList& access);

}  // namespace tarvex
