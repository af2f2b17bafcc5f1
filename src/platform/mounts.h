// The drives of this computer: on Windows its logical drives, on Linux the
// mounted file systems that stand for drives (those on block devices).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// The mount points of the drive file systems (ext2/3/4, xfs, btrfs, f2fs,
// vfat, exfat, ntfs, ntfs3, fuseblk, iso9660, udf) in a mount table in the
// format of /proc/self/mounts, each ending in "/", in ascending byte order,
// without duplicates. Octal escapes in mount points (\040 for a space) are
// decoded; lines that do not have the form are skipped.
std::vector<std::string> ParseDriveMounts(std::string_view table);

// ParseDriveMounts of /proc/self/mounts, empty when it cannot be read; on
// Windows the roots of the logical drives, as DriveRoots gives them.
std::vector<std::string> DriveMountPoints();

// A drive to offer: its root, and the drive letter an access list knows it
// by ("" for none).
struct DriveRoot {
  std::string root;
  std::string letter;
};

// The drives to offer, in the platform's order. Windows: the logical drives
// (GetLogicalDrives), "C:\", "D:\" ..., in the order of their letters, each
// with its letter. Linux: "/" first, standing for the system drive "C", then
// the other drive mount points without a letter.
std::vector<DriveRoot> DriveRoots();

}  // namespace tarvex
