// What the platforms share: owning a child, and running a program to its end.
#include <algorithm>
#include <utility>

#include "platform/spawned_process.h"

namespace tarvex {

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

SpawnedProcess::SpawnedProcess(NativePtr native) : native_(std::move(native)) {}

SpawnedProcess::SpawnedProcess(SpawnedProcess&& other) noexcept { *this = std::move(other); }

SpawnedProcess& SpawnedProcess::operator=(SpawnedProcess&& other) noexcept {
  if (this == &other) return *this;
  if (native_) Stop();
  native_ = std::move(other.native_);
  status_ = other.status_;
  max_output_ = other.max_output_;
  out_ = std::move(other.out_);
  err_ = std::move(other.err_);
  return *this;
}

SpawnedProcess::~SpawnedProcess() {
  if (native_) Stop();
}

int SpawnedProcess::Stop(std::chrono::milliseconds grace) {
  if (!native_) return -1;
  if (!Poll()) {
    Signal(SIGTERM);
    if (!Wait(grace)) {
      Kill();
      ReapKilled();
    }
  }
  return status_.value_or(-1);
}

SpawnResult RunSpawned(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env, std::chrono::milliseconds limit,
                       const std::string& input, std::size_t max_output) {
  SpawnResult result;
  const auto deadline = Clock::now() + limit;
  SpawnOptions options = SpawnOptions::Captured(input);
  options.max_output = max_output;
  std::optional<SpawnedProcess> child = SpawnedProcess::Start(program, args, env, &result.error, options);
  if (!child) return result;
  result.started = true;
  std::optional<int> status = child->Wait(limit);
  if (!status) {
    result.timed_out = true;
    child->Kill();
    status = child->Wait(std::chrono::hours(1));
  }
  result.status = status.value_or(-1);
  // What it wrote is all there once it ended, unless a program it started
  // holds its outputs open; what it did not read is dropped.
  child->EndInput();
  const auto outputs_deadline = std::max(deadline, Clock::now() + std::chrono::seconds(1));
  while (Clock::now() < outputs_deadline && child->Pump(10)) continue;
  result.out = std::move(child->out_);
  result.err = std::move(child->err_);
  return result;
}

const std::string& SpawnedProcess::Output() {
  Pump(0);
  return out_;
}

const std::string& SpawnedProcess::Errors() {
  Pump(0);
  return err_;
}

}  // namespace tarvex
