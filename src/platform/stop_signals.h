// StopSignals: SIGTERM and SIGINT as a request to stop. While an object
// exists the two signals are blocked in every thread made afterwards and
// delivered only to Wait, so a program can stop cleanly on either.
// Construct it before any other thread starts.
#pragma once

namespace tarvex {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Waits until SIGTERM or SIGINT arrives; returns its number.
  int Wait();

  // While it lives, the calling thread takes the two signals as usual (so
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
