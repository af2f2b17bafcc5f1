// The file service's one setting, ROOTDIR: the desktop directory under which
// every device user has a directory of its own. Kept in the per-user store
// under kRootDirKeyPath; at most 499 characters (longer values read as
// absent, and are refused on writing).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::string_view kRootDirKeyPath = "Software\\Veldane Software\\QLExchange\\Config";
inline constexpr std::string_view kRootDirValue = "ROOTDIR";

// The stored text, or none when it is missing or unreadable.
std::optional<std::string> ReadRootDir();
// True when written. The directory is not created on disk.
bool WriteRootDir(std::string_view root_dir);
// Writes the default, "Quillet Exchange" in DefaultRootParentDirectory()
// ("$HOME/Quillet Exchange" on Linux).
bool SetDefaultRootDir();
std::string DefaultRootDir();

}  // namespace tarvex
