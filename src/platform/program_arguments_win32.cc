#include <windows.h>
#include <shellapi.h>

#include "platform/file_handle_win32.h"
#include "platform/program_arguments.h"
#include "platform/wide_text_win32.h"

namespace tarvex {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  const LocalMemory<wchar_t*> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (wide == nullptr) {
    if (argc < 1) return {};
    return std::vector<std::string>(argv + 1, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(FromWide(wide.get()[i]));
  return arguments;
}

}  // namespace tarvex
