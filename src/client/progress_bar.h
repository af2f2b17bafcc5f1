// ProgressBar: one line on a terminal that shows how a transfer goes: a bar,
// the bytes done and the total, the rate and the time left. Redrawn at most
// ten times a second, and once more by Finish, which ends the line.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace tarvex {

// The line for `done` of `total` bytes after `seconds`, such as
// "[#######.............]  35.0 MB / 100.0 MB   12.5 MB/s   0:05 left".
// The time left reads "--:--" while no rate is known.
std::string FormatProgress(std::uint64_t done, std::uint64_t total, double seconds);

class ProgressBar {
 public:
  ProgressBar(std::uint64_t total, std::ostream& out);
  void Update(std::uint64_t done);
  void Finish();

 private:
  using Clock = std::chrono::steady_clock;
  void Draw();

  std::uint64_t total_;
  std::ostream& out_;
  std::uint64_t done_ = 0;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_draw_{};
  bool drawn_ = false;
};

}  // namespace tarvex
