#include "core/settings/root_dir.h"

#include "platform/user_store.h"
#include "platform/user_folders.h"

namespace tarvex {

std::optional<std::string> ReadRootDir() { return ReadUserValue(kRootDirKeyPath, kRootDirValue); }

bool WriteRootDir(std::string_view root_dir) {
  if (root_dir.size() > 499) return false;
  return WriteUserValue(kRootDirKeyPath, kRootDirValue, root_dir);
}

std::string DefaultRootDir() { return HomeDirectory() + "/Quillet Exchange"; }

bool SetDefaultRootDir() { return WriteRootDir(DefaultRootDir()); }

}  // namespace tarvex
