#include <windows.h>

#include "platform/mounts.h"
#include "platform/wide_text_win32.h"

namespace tarvex {

std::vector<DriveRoot> DriveRoots() {
  std::vector<DriveRoot> roots;
  const DWORD drives = ::GetLogicalDrives();
  for (int index = 0; index < 26; ++index) {
    if ((drives & (1u << index)) == 0) continue;
    const char letter = static_cast<char>('A' + index);
    std::string root = std::string(1, letter) + ":\\";
    // A letter that lost its drive since the mask was read.
    if (::GetDriveTypeW(ToWide(root).c_str()) == DRIVE_NO_ROOT_DIR) continue;
    roots.push_back({std::move(root), std::string(1, letter)});
  }
  return roots;
}

std::vector<std::string> DriveMountPoints() {
  std::vector<std::string> points;
  for (DriveRoot& drive : DriveRoots()) points.push_back(std::move(drive.root));
  return points;
}

}  // namespace tarvex
