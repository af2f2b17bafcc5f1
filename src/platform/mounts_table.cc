// The mount table's parser; portable, so that it is checked on every platform.
#include <algorithm>
#include <array>
#include <sstream>

#include "platform/mounts.h"

namespace tarvex {
namespace {

constexpr std::array<std::string_view, 13> kDriveTypes = {
    "ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "vfat",
    "exfat", "ntfs", "ntfs3", "fuseblk", "iso9660", "udf"};

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// A field of the table with its \ooo escapes decoded.
std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const bool escape = field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
                        field[i + 1] <= '3' && IsOctal(field[i + 2]) && IsOctal(field[i + 3]);
    if (escape) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> ParseDriveMounts(std::string_view table) {
  std::vector<std::string> points;
  std::istringstream lines{std::string(table)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, point, type;
    if (!(fields >> device >> point >> type)) continue;
    if (std::find(kDriveTypes.begin(), kDriveTypes.end(), type) == kDriveTypes.end()) continue;
    std::string decoded = Unescape(point);
    if (decoded.empty() || decoded.front() != '/') continue;
    if (decoded.back() != '/') decoded += '/';
    points.push_back(std::move(decoded));
  }
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  return points;
}

}  // namespace tarvex
