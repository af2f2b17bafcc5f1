#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/app_folder.h"
#include "platform/user_folders.h"

namespace tarvex {
namespace {

constexpr const char kFolderName[] = "Tarvex Server";

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// mkdir -p with mode 0700 for every directory it makes.
bool MakeDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST && !IsDirectory(prefix)) {
      return false;
    }
    if (slash == std::string::npos) break;
  }
  return IsDirectory(path);
}

}  // namespace

std::optional<std::string> AppFolderPath() {
  const std::string base = DataHomeDirectory();
  std::string folder = base == "/" ? base + kFolderName : base + "/" + kFolderName;
  if (!MakeDirectories(folder)) return std::nullopt;
  return folder;
}

bool EnterAppFolder() {
  std::optional<std::string> folder = AppFolderPath();
  return folder && chdir(folder->c_str()) == 0;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(512);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

}  // namespace tarvex
