// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <csignal>
#include <utility>

#include "platform/remove_on_signal.h"
#include "platform/stop_request_win32.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

// The console calls its handlers without any context, so the file to remove
// lives here. It needs no construction or destruction, so the handler may
// run at any time.
struct RemoveState {
  SRWLOCK lock = SRWLOCK_INIT;
  HANDLE stop_event = nullptr;  // StopSignals::RequestStop from another process
  HANDLE stop_wait = nullptr;   // the thread pool's wait on it
  wchar_t path[32768] = {};     // the longest Windows path, NUL-terminated
};
constinit RemoveState g_remove;

void RemoveAndExit(int signal_number) {
  AcquireSRWLockExclusive(&g_remove.lock);
  if (g_remove.path[0] != L'\0') DeleteFileW(g_remove.path);
  // Ends at once, as a signal would: no other thread runs on, nothing is
  // flushed or destroyed.
  TerminateProcess(GetCurrentProcess(), 128 + signal_number);
  ReleaseSRWLockExclusive(&g_remove.lock);
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  RemoveAndExit(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
  return TRUE;
}

void CALLBACK OnStopRequest(void*, BOOLEAN) { RemoveAndExit(SIGTERM); }

}  // namespace

RemoveOnSignal::RemoveOnSignal(const std::string& path) {
  const std::wstring wide = ToWide(path);
  AcquireSRWLockExclusive(&g_remove.lock);
  const bool fits = wide.size() < std::size(g_remove.path) && wide.find(L'\0') == std::wstring::npos;
  wide.copy(g_remove.path, fits ? wide.size() : 0);
  g_remove.path[fits ? wide.size() : 0] = L'\0';
  WatchStopRequests(OnStopRequest, &g_remove.stop_event, &g_remove.stop_wait);
  ReleaseSRWLockExclusive(&g_remove.lock);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

RemoveOnSignal::~RemoveOnSignal() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  AcquireSRWLockExclusive(&g_remove.lock);
  g_remove.path[0] = L'\0';
  HANDLE event = std::exchange(g_remove.stop_event, nullptr);
  HANDLE wait = std::exchange(g_remove.stop_wait, nullptr);
  ReleaseSRWLockExclusive(&g_remove.lock);
  // Waits for a running OnStopRequest, which takes the lock, so not under it.
  UnwatchStopRequests(event, wait);
}

}  // namespace tarvex
