// StopSignals: the requests to stop a program, as a number each. On Linux
// they are SIGTERM, SIGINT and SIGHUP (the terminal closed). While an object
// exists the three signals are blocked in every thread made afterwards and
// delivered only to Wait, so a program can stop cleanly on any of them. It
// also ignores SIGPIPE for the whole process, for good: a write to a pipe
// whose reader went away (standard error piped into a pager that quit) then
// fails instead of ending the program.
// On Windows they are the console's events: Ctrl-C is reported as SIGINT (2);
// Ctrl-Break, the console closed, logoff and shutdown as SIGTERM (15). For
// the last three Windows ends the process soon after, so the request waits
// (up to kOrderlyStopLimit) until the object is destroyed: destroy it once
// the program has stopped in order.
// StopWithParent ties a child's life to the thread that started it (it is
// told when that thread ends), so start such children from the main thread.
// Construct it before any other thread starts. One object at a time.
#pragma once

#include <chrono>

namespace tarvex {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  static constexpr std::chrono::milliseconds kOrderlyStopLimit{4500};

  // Waits until a stop request arrives; returns its number.
  int Wait();
  // Waits at most `limit`; the request's number, or 0 when none came.
  int WaitFor(std::chrono::milliseconds limit);

  // For an event loop instead of a waiting thread: a descriptor that becomes
  // readable when a stop request is pending (-1 when none could be made, and
  // always on Windows: poll Take there), and Take gives the request's number
  // (0 when none was pending).
  class Pending {
   public:
    Pending();
    ~Pending();
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;
    int Descriptor() const { return fd_; }
    int Take();

   private:
    int fd_;
  };

  // Asks the system to send this process SIGTERM when the process
  // `parent_pid` ends, as a child that must not outlive its parent does (on
  // Windows a wait on the parent's process gives Wait that request, or ends
  // the process with status 143 when no StopSignals exists). False when that
  // parent has ended already (or cannot be watched).
  static bool StopWithParent(long parent_pid);

  // Asks the process `pid` of this user to stop as SIGTERM does: on Linux it
  // sends SIGTERM; on Windows, where no console event can be aimed at one
  // process, it sets the event "TarvexStop-<pid>" that a StopSignals (Wait
  // then returns SIGTERM) or a RemoveOnSignal of that process waits on. False
  // when the request could not be made (on Windows also when the process has
  // neither).
  static bool RequestStop(long pid);

  // While it lives, the calling thread takes the stop requests as usual (so
  // Ctrl-C ends a program that is asking its user something). On Windows the
  // requests are not per thread: they end the process while one lives.
  class Released {
   public:
    Released();
    ~Released();
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
  };
};

}  // namespace tarvex
