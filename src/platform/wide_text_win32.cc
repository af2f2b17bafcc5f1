#include "platform/wide_text_win32.h"

#include <windows.h>

#include "platform/file_handle_win32.h"

namespace tarvex {

std::wstring ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), n);
  return wide;
}

std::string FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(n), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), n, nullptr, nullptr);
  return narrow;
}

namespace {

// FormatMessageW's text for an error number of the system or of a module,
// without its line end; "" when there is none.
std::string FormattedMessage(DWORD source_flag, HMODULE module, unsigned long error) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | source_flag | FORMAT_MESSAGE_IGNORE_INSERTS, module,
                                 error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const LocalMemory<wchar_t> owned(buffer);
  std::string text = n == 0 ? std::string() : FromWide(std::wstring_view(buffer, n));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::string WindowsErrorText(unsigned long error) {
  std::string text = FormattedMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error);
  return text.empty() ? "Windows error " + std::to_string(error) : text;
}

std::string ModuleErrorText(const wchar_t* module, unsigned long error) {
  const HMODULE loaded = GetModuleHandleW(module);
  return loaded == nullptr ? std::string() : FormattedMessage(FORMAT_MESSAGE_FROM_HMODULE, loaded, error);
}

}  // namespace tarvex
