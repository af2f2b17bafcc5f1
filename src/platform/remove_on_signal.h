// SPDX-License-Identifier: GPL-3.0-or-later
// RemoveOnSignal: while it lives, SIGINT, SIGTERM and SIGHUP remove one file
// (a download that has not all arrived) and end the process at once with
// status 128 + the signal's number: 130 for SIGINT, 143 for SIGTERM, 129 for
// SIGHUP. The earlier handling of the three signals comes back when it is
// destroyed. One object at a time per process; make it on the main thread.
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
