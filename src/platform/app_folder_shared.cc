// Where the application folder is, the same on both platforms.
#include "platform/app_folder.h"
#include "platform/app_folder_native.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/user_folders.h"

namespace tarvex {
namespace {

constexpr const char kFolderName[] = "Tarvex Server";

}  // namespace

std::optional<std::string> AppFolderPath() {
  const std::string base = DataHomeDirectory();
  // Windows may know no folder for the user's data.
  if (base.empty()) return std::nullopt;
  const std::string folder = JoinPath(base, kFolderName);
  if (!MakeDirectories(folder, kPrivateFolderMode)) return std::nullopt;
  return folder;
}

bool EnterAppFolder() {
  std::optional<std::string> folder = AppFolderPath();
  return folder && EnterDirectory(*folder);
}

}  // namespace tarvex
