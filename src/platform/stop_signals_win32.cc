#include <windows.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <utility>

#include "platform/file_handle_win32.h"
#include "platform/stop_request_win32.h"
#include "platform/stop_signals.h"

namespace tarvex {
namespace {

// The console calls its handlers without any context, so what they share
// with the waiting thread lives here, once per process. Its parts need no
// construction or destruction, so a handler may run at any time.
struct StopState {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
  bool active = false;          // a StopSignals exists
  int released = 0;             // live Released objects
  int pending = 0;              // the request not yet taken
  HANDLE stop_event = nullptr;  // set by RequestStop from another process
  HANDLE stop_wait = nullptr;   // the thread pool's wait on it
};
constinit StopState g_state;

class Locked {
 public:
  Locked() { AcquireSRWLockExclusive(&g_state.lock); }
  ~Locked() { ReleaseSRWLockExclusive(&g_state.lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  // Waits at most `ms` for a change; false when the time is up.
  bool Sleep(DWORD ms) { return SleepConditionVariableSRW(&g_state.changed, &g_state.lock, ms, 0) != 0; }
};

// Passes a request to the waiting thread; false when nobody takes requests
// now, so the system's own handling (ending the process) applies.
bool Post(Locked&, int number) {
  if (!g_state.active || g_state.released > 0) return false;
  if (g_state.pending == 0) g_state.pending = number;
  WakeAllConditionVariable(&g_state.changed);
  return true;
}

DWORD Milliseconds(std::chrono::steady_clock::duration left) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<DWORD>(std::clamp<long long>(ms, 0, INFINITE - 1));
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const int number = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
  Locked locked;
  if (!Post(locked, number)) return FALSE;
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // The process ends when this returns: give the program its orderly stop.
    const auto deadline = std::chrono::steady_clock::now() + StopSignals::kOrderlyStopLimit;
    while (g_state.active) {
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= left.zero() || !locked.Sleep(Milliseconds(left))) break;
    }
  }
  return TRUE;
}

// While a Released lives, the request ends the process as SIGTERM would.
void CALLBACK OnStopEvent(void*, BOOLEAN) {
  Locked locked;
  if (g_state.active && !Post(locked, SIGTERM)) TerminateProcess(GetCurrentProcess(), 128 + SIGTERM);
}

void CALLBACK OnParentEnded(void*, BOOLEAN) {
  Locked locked;
  if (!Post(locked, SIGTERM)) TerminateProcess(GetCurrentProcess(), 128 + SIGTERM);
}

}  // namespace

StopSignals::StopSignals() {
  HANDLE event = nullptr;
  HANDLE wait = nullptr;
  WatchStopRequests(OnStopEvent, &event, &wait);
  {
    Locked locked;
    g_state.active = true;
    g_state.pending = 0;
    g_state.stop_event = event;
    g_state.stop_wait = wait;
  }
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  HANDLE event = nullptr;
  HANDLE wait = nullptr;
  {
    Locked locked;
    g_state.active = false;
    event = std::exchange(g_state.stop_event, nullptr);
    wait = std::exchange(g_state.stop_wait, nullptr);
    WakeAllConditionVariable(&g_state.changed);
  }
  // Waits for a running OnStopEvent, which takes the lock, so not under it.
  UnwatchStopRequests(event, wait);
}

StopSignals::Released::Released() {
  Locked locked;
  ++g_state.released;
}

StopSignals::Released::~Released() {
  Locked locked;
  --g_state.released;
}

// There is no descriptor to watch on Windows; the event loop polls Take.
StopSignals::Pending::Pending() : fd_(-1) {}

StopSignals::Pending::~Pending() = default;

int StopSignals::Pending::Take() {
  Locked locked;
  return std::exchange(g_state.pending, 0);
}

bool StopSignals::StopWithParent(long parent_pid) {
  UniqueHandle parent(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(parent_pid)));
  if (!parent.IsValid()) return false;
  // A process number is given again once its process has ended: the parent
  // is running and was made before this process.
  FILETIME parent_made{}, own_made{}, unused1{}, unused2{}, unused3{};
  HANDLE wait = nullptr;
  const bool watched =
      GetProcessTimes(parent.Get(), &parent_made, &unused1, &unused2, &unused3) &&
      GetProcessTimes(GetCurrentProcess(), &own_made, &unused1, &unused2, &unused3) &&
      CompareFileTime(&parent_made, &own_made) <= 0 && WaitForSingleObject(parent.Get(), 0) == WAIT_TIMEOUT &&
      RegisterWaitForSingleObject(&wait, parent.Get(), OnParentEnded, nullptr, INFINITE, WT_EXECUTEONLYONCE);
  // Once watched, the handle and the wait stay for the life of the process.
  if (watched) parent.Release();
  return watched;
}

bool StopSignals::RequestStop(long pid) {
  if (pid <= 0) return false;
  const UniqueHandle event(
      OpenEventW(EVENT_MODIFY_STATE, FALSE, StopRequestEventName(static_cast<unsigned long>(pid)).c_str()));
  return event.IsValid() && SetEvent(event.Get()) != 0;
}

int StopSignals::Wait() {
  Locked locked;
  while (g_state.pending == 0) locked.Sleep(INFINITE);
  return std::exchange(g_state.pending, 0);
}

int StopSignals::WaitFor(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  Locked locked;
  while (g_state.pending == 0) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= left.zero()) return 0;
    locked.Sleep(Milliseconds(left));
  }
  return std::exchange(g_state.pending, 0);
}

}  // namespace tarvex
