// StopSignals: SIGTERM, SIGINT and SIGHUP (the terminal closed) as a request
// to stop. While an object exists the three signals are blocked in every
// thread made afterwards and delivered only to Wait, so a program can stop
// cleanly on any of them. It also ignores SIGPIPE for the whole process, for
// good: a write to a pipe whose reader went away (standard error piped into
// a pager that quit) then fails instead of ending the program.
// StopWithParent ties a child's life to the thread that started it (it is
// told when that thread ends), so start such children from the main thread.
// Construct it before any other thread starts.
#pragma once

#include <chrono>

namespace tarvex {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Waits until one of the three signals arrives; returns its number.
  int Wait();
  // Waits at most `limit`; the signal's number, or 0 when none came.
  int WaitFor(std::chrono::milliseconds limit);

  // For an event loop instead of a waiting thread: a descriptor that becomes
  // readable when one of the three signals is pending (-1 when none could be
  // made), and Take gives the signal (0 when none was pending).
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
  // `parent_pid` ends, as a child that must not outlive its parent does.
  // False when that parent has ended already.
  static bool StopWithParent(long parent_pid);

  // While it lives, the calling thread takes the three signals as usual (so
  // Ctrl-C ends a program that is asking its user something).
  class Released {
   public:
    Released();
    ~Released();
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
  };
};

}  // namespace tarvex
