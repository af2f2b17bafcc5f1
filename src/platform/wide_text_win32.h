// Texts at the Windows boundary: the program keeps UTF-8 in std::string and
// every Windows call takes and gives UTF-16. Also the system's text for a
// Windows error number. Used by the *_win32.cc files only.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring ToWide(std::string_view text);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string FromWide(std::wstring_view text);
// The system's text for a GetLastError() or WSAGetLastError() value, without
// its line end ("The system cannot find the file specified.").
std::string WindowsErrorText(unsigned long error);
// The text a loaded module (such as L"wininet.dll") keeps for one of its own
// error numbers, without its line end; "" when it has none.
std::string ModuleErrorText(const wchar_t* module, unsigned long error);

}  // namespace tarvex
