#include <fstream>
#include <sstream>

#include "platform/mounts.h"

namespace tarvex {

std::vector<std::string> DriveMountPoints() {
  std::ifstream mounts("/proc/self/mounts");
  if (!mounts) return {};
  std::ostringstream text;
  text << mounts.rdbuf();
  return ParseDriveMounts(text.str());
}

std::vector<DriveRoot> DriveRoots() {
  // "/" stands for the system drive, the one an access list leaves.
  std::vector<DriveRoot> roots = {{"/", "C"}};
  for (std::string& point : DriveMountPoints()) {
    if (point != "/") roots.push_back({std::move(point), ""});
  }
  return roots;
}

}  // namespace tarvex
