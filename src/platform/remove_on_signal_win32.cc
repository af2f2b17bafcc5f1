// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <csignal>

#include "platform/remove_on_signal.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

// The console calls its handlers without any context, so the file to remove
// lives here. It needs no construction or destruction, so the handler may
// run at any time.
struct RemoveState {
  SRWLOCK lock = SRWLOCK_INIT;
  wchar_t path[32768] = {};  // the longest Windows path, NUL-terminated
};
constinit RemoveState g_remove;

BOOL WINAPI RemoveAndExit(DWORD event) {
  AcquireSRWLockExclusive(&g_remove.lock);
  if (g_remove.path[0] != L'\0') DeleteFileW(g_remove.path);
  // Ends at once, as a signal would: no other thread runs on, nothing is
  // flushed or destroyed.
  TerminateProcess(GetCurrentProcess(), 128 + (event == CTRL_C_EVENT ? SIGINT : SIGTERM));
  ReleaseSRWLockExclusive(&g_remove.lock);
  return TRUE;
}

}  // namespace

RemoveOnSignal::RemoveOnSignal(const std::string& path) {
  const std::wstring wide = ToWide(path);
  AcquireSRWLockExclusive(&g_remove.lock);
  const bool fits = wide.size() < std::size(g_remove.path) && wide.find(L'\0') == std::wstring::npos;
  wide.copy(g_remove.path, fits ? wide.size() : 0);
  g_remove.path[fits ? wide.size() : 0] = L'\0';
  ReleaseSRWLockExclusive(&g_remove.lock);
  SetConsoleCtrlHandler(RemoveAndExit, TRUE);
}

RemoveOnSignal::~RemoveOnSignal() {
  SetConsoleCtrlHandler(RemoveAndExit, FALSE);
  AcquireSRWLockExclusive(&g_remove.lock);
  g_remove.path[0] = L'\0';
  ReleaseSRWLockExclusive(&g_remove.lock);
}

}  // namespace tarvex
