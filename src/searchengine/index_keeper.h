// IndexKeeper: keeps a Recoll index fresh with Recoll's real-time monitor
// (recollindex -m), run as a child process. Its first pass builds or updates
// the index: at once when there is no index yet, after `start_delay`
// otherwise, so that the start of a desktop session is not slowed. Then it
// follows changes as they happen. Progress goes to the engine log, read from
// the monitor's status file. A monitor that ends on its own is started again
// after `restart_delay`; since every start is an incremental pass, a monitor
// that cannot follow changes still refreshes the index at that interval.
// The monitor is started through `setpriv --pdeathsig KILL`, so that it dies
// with the engine even when the engine is killed outright and never holds
// the index lock against a later engine.
//
// Start and the destructor are called from one thread; the work runs on a
// thread of its own.
#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "platform/event.h"

namespace tarvex {

class IndexKeeper {
 public:
  struct Options {
    std::string config_dir;
    std::string program = "recollindex";
    std::chrono::seconds start_delay{10};
    std::chrono::seconds restart_delay{60};
  };

  explicit IndexKeeper(Options options) : options_(std::move(options)) {}
  // Stops the monitor (SIGTERM, SIGKILL after a grace period) and the thread.
  ~IndexKeeper();
  IndexKeeper(const IndexKeeper&) = delete;
  IndexKeeper& operator=(const IndexKeeper&) = delete;

  void Start();

 private:
  void Keep();

  Options options_;
  ManualResetEvent stop_;
  std::thread thread_;
};

}  // namespace tarvex
