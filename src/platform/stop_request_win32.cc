#include "platform/stop_request_win32.h"

namespace tarvex {

std::wstring StopRequestEventName(unsigned long pid) { return L"TarvexStop-" + std::to_wstring(pid); }

bool WatchStopRequests(WAITORTIMERCALLBACK on_request, HANDLE* event, HANDLE* wait) {
  *wait = nullptr;
  *event = CreateEventW(nullptr, FALSE, FALSE, StopRequestEventName(GetCurrentProcessId()).c_str());
  if (*event == nullptr) return false;
  if (RegisterWaitForSingleObject(wait, *event, on_request, nullptr, INFINITE, WT_EXECUTEDEFAULT)) return true;
  CloseHandle(*event);
  *event = nullptr;
  *wait = nullptr;
  return false;
}

void UnwatchStopRequests(HANDLE event, HANDLE wait) {
  if (wait != nullptr) UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
  if (event != nullptr) CloseHandle(event);
}

}  // namespace tarvex
