#include <windows.h>

#include "platform/path.h"
#include "platform/program_folder.h"
#include "platform/wide_text_win32.h"

namespace tarvex {

std::string OwnProgramFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    // A full buffer means the name was cut.
    if (length < buffer.size()) {
      buffer.resize(length);
      return Dirname(FromWide(buffer));
    }
    if (buffer.size() >= 32768) return "";
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace tarvex
