#include "client/progress_bar.h"

#include <cstdio>

namespace tarvex {
namespace {

constexpr int kBarWidth = 20;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Megabytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
  return text;
}

}  // namespace

std::string FormatProgress(std::uint64_t done, std::uint64_t total, double seconds) {
  const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
  line += Megabytes(static_cast<double>(done)) + " / " + Megabytes(static_cast<double>(total));
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  char tail[64];
  if (rate > 0) {
    const auto left = static_cast<long long>(static_cast<double>(total - done) / rate + 0.5);
    std::snprintf(tail, sizeof tail, "  %.1f MB/s  %lld:%02lld left", rate / 1e6, left / 60, left % 60);
  } else {
    std::snprintf(tail, sizeof tail, "  --- MB/s  --:-- left");
  }
  return line + tail;
}

ProgressBar::ProgressBar(std::uint64_t total, std::ostream& out) : total_(total), out_(out) {}

void ProgressBar::Update(std::uint64_t done) {
  done_ = done;
  const Clock::time_point now = Clock::now();
  if (drawn_ && now - last_draw_ < kRedrawInterval) return;
  last_draw_ = now;
  Draw();
}

void ProgressBar::Finish() {
  Draw();
  out_ << '\n' << std::flush;
}

void ProgressBar::Draw() {
  const std::chrono::duration<double> elapsed = Clock::now() - start_;
  // "\r" and the clearing of the rest of the line redraw it in place.
  out_ << '\r' << FormatProgress(done_, total_, elapsed.count()) << "\033[K" << std::flush;
  drawn_ = true;
}

}  // namespace tarvex
