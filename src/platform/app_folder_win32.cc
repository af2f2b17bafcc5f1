#include <windows.h>

#include "platform/app_folder.h"
#include "platform/app_folder_native.h"
#include "platform/wide_text_win32.h"

namespace tarvex {

bool EnterDirectory(const std::string& path) { return ::SetCurrentDirectoryW(ToWide(path).c_str()) != 0; }

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
