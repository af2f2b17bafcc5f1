// The Windows side of StopSignals::RequestStop: each process that takes stop
// requests has the named event "TarvexStop-<pid>", and the thread pool calls
// a function each time another process sets it. Used by the stop_signals and
// remove_on_signal implementations only.
#pragma once

#include <windows.h>

#include <string>

namespace tarvex {

std::wstring StopRequestEventName(unsigned long pid);

// Makes this process's event and the wait on it; false (nothing made) when
// either fails.
bool WatchStopRequests(WAITORTIMERCALLBACK on_request, HANDLE* event, HANDLE* wait);

// Ends the wait (after a running call has returned) and closes the event;
// null handles are skipped.
void UnwatchStopRequests(HANDLE event, HANDLE wait);

}  // namespace tarvex
