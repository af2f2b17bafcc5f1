#include <sys/stat.h>

#include <filesystem>

#include "platform/private_files.h"

namespace tarvex {

void MakeNewFilesPrivate() { ::umask(077); }

bool MakeFolderPrivate(const std::string& folder) {
  namespace fs = std::filesystem;
  constexpr fs::perms kOthers = fs::perms::group_all | fs::perms::others_all;
  std::error_code failed;
  fs::permissions(folder, kOthers, fs::perm_options::remove, failed);
  if (failed) return false;
  std::error_code ignored;
  for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ignored), end;
       it != end; it.increment(ignored)) {
    if (it->is_symlink(ignored)) continue;
    fs::permissions(it->path(), kOthers, fs::perm_options::remove | fs::perm_options::nofollow, ignored);
  }
  return true;
}

}  // namespace tarvex
