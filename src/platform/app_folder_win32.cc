#include <windows.h>

#include "platform/app_folder.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/user_folders.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

constexpr const char kFolderName[] = "Tarvex Server";

}  // namespace

std::optional<std::string> AppFolderPath() {
  const std::string base = DataHomeDirectory();
  if (base.empty()) return std::nullopt;
  const std::string folder = JoinPath(base, kFolderName);
  if (!MakeDirectories(folder, kPrivateFolderMode)) return std::nullopt;
  return folder;
}

bool EnterAppFolder() {
  std::optional<std::string> folder = AppFolderPath();
  return folder && ::SetCurrentDirectoryW(ToWide(*folder).c_str());
}

std::string CurrentDirectory() {
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return {};
  std::wstring buffer(needed, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(needed, buffer.data());
  if (length == 0 || length >= needed) return {};
  buffer.resize(length);
  return FromWide(buffer);
}

}  // namespace tarvex
