// SPDX-License-Identifier: GPL-3.0-or-later
// RemoveOnSignal: while it lives, a request to stop removes one file (a
// download that has not all arrived) and ends the process at once with
// status 128 + the signal's number. On Linux the requests are SIGINT (130),
// SIGTERM (143) and SIGHUP (129); on Windows the console's events: Ctrl-C
// (130) and Ctrl-Break, the console closed, logoff or shutdown (143), and
// StopSignals::RequestStop from another process (143). On Windows the file
// can be removed while the program still has it open only when it was opened
// for shared deletion; it goes once the process has ended. The earlier
// handling comes back when it is destroyed. One object at a time per
// process; make it on the main thread.
#pragma once

#include <string>

namespace tarvex {

class RemoveOnSignal {
 public:
  explicit RemoveOnSignal(const std::string& path);
  ~RemoveOnSignal();
  RemoveOnSignal(const RemoveOnSignal&) = delete;
  RemoveOnSignal& operator=(const RemoveOnSignal&) = delete;
};

}  // namespace tarvex
