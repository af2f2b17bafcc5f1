// StopSignals: SIGTERM, SIGINT and SIGHUP (the terminal closed) as a request
// to stop. While an object exists the three signals are blocked in every
// thread made afterwards and delivered only to Wait, so a program can stop
// cleanly on any of them. It also ignores SIGPIPE for the whole process, for
// good: a write to a pipe whose reader went away (standard error piped into
// a pager that quit) then fails instead of ending the program.
// Construct it before any other thread starts.
#pragma once

namespace tarvex {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Waits until one of the three signals arrives; returns its number.
  int Wait();

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
