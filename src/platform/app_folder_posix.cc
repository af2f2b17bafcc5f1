#include <errno.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/path.h"
#include "platform/app_folder.h"
#include "platform/files.h"
#include "platform/user_folders.h"

namespace tarvex {
namespace {

constexpr const char kFolderName[] = "Tarvex Server";

}  // namespace

std::optional<std::string> AppFolderPath() {
  const std::string base = DataHomeDirectory();
  const std::string folder = JoinPath(base, kFolderName);
  if (!MakeDirectories(folder, kPrivateFolderMode)) return std::nullopt;
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
