#include "core/settings/root_dir.h"

#include "platform/path.h"
#include "platform/user_folders.h"
#include "platform/user_store.h"

namespace tarvex {

std::optional<std::string> ReadRootDir() { return ReadUserValue(kRootDirKeyPath, kRootDirValue); }

bool WriteRootDir(std::string_view root_dir) {
  if (root_dir.size() > 499) return false;
  return WriteUserValue(kRootDirKeyPath, kRootDirValue, root_dir);
}

std::string DefaultRootDir() { return DefaultRootParentDirectory() + kPathSeparator + "Quillet Exchange"; }

bool SetDefaultRootDir() { return WriteRootDir(DefaultRootDir()); }

}  // namespace tarvex
