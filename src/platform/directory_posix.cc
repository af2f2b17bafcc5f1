#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/directory.h"

namespace tarvex {

bool ReadDirectory(const std::string& path, std::vector<DirectoryItem>* items) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  DIR* listing = ::opendir(path.c_str());
  if (listing == nullptr) return false;
  const int directory_fd = ::dirfd(listing);
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool is_directory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat status {};
      is_directory = ::fstatat(directory_fd, entry->d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
    }
    items->push_back({std::string(name), is_directory});
  }
  ::closedir(listing);
  return true;
}

}  // namespace tarvex
