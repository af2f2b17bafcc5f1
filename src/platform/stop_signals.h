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
};

}  // namespace tarvex
