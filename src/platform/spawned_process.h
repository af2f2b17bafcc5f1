// Programs the system runs on its own behalf (the search engine's indexer and
// query tool, the search engine beside the desktop window), started with
// posix_spawn from an argument list: never through a shell, so no argument
// is ever interpreted. A program named without "/" is looked up in PATH.
//
// A child starts with an empty signal mask and the default action for
// SIGTERM, SIGINT, SIGHUP and SIGPIPE (whatever this process blocks or
// ignores), standard input from /dev/null, and none of this process's
// descriptors beyond 0, 1 and 2. `env` entries ("NAME=value") are added to,
// or replace entries of, the current environment.
//
// Both facilities are safe for concurrent use from several threads.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarvex {

struct SpawnResult {
  bool started = false;    // false: the program could not be started (see error)
  bool timed_out = false;  // still running at the limit, so it was killed
  int status = -1;         // exit status; 128 + signal number when a signal ended it
  int error = 0;           // errno value when it did not start
  std::string out;         // standard output, at most max_output bytes
  std::string err;         // standard error, at most max_output bytes
};

// This process's id, as its children know their parent.
long OwnProcessId();

// Runs a program to its end, collecting both outputs (bytes beyond
// `max_output` per stream are read and dropped). A program still running
// after `limit` is killed with SIGKILL; it is always reaped before return.
SpawnResult RunSpawned(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env, std::chrono::milliseconds limit,
                       std::size_t max_output = std::size_t{16} << 20);

// SpawnedProcess: a long-running child whose outputs go where this process's
// go. Destroying the object stops the child (Stop with the default grace).
// One object is used by one thread at a time.
class SpawnedProcess {
 public:
  // The started child, or none (with *error set to the errno value). With
  // `error_file`, the child's standard error is appended to that file
  // (made with mode 0600 when missing) instead of going to ours.
  static std::optional<SpawnedProcess> Start(const std::string& program,
                                             const std::vector<std::string>& args,
                                             const std::vector<std::string>& env,
                                             int* error = nullptr, const std::string& error_file = "");
  ~SpawnedProcess();
  SpawnedProcess(SpawnedProcess&& other) noexcept;
  SpawnedProcess& operator=(SpawnedProcess&&) = delete;
  SpawnedProcess(const SpawnedProcess&) = delete;
  SpawnedProcess& operator=(const SpawnedProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // The exit status once the child has ended (reaped without blocking);
  // none while it runs.
  std::optional<int> Poll();
  // Waits up to `limit` for the end; the exit status, or none.
  std::optional<int> Wait(std::chrono::milliseconds limit);
  // SIGTERM, up to `grace` for the end, then SIGKILL; the exit status.
  int Stop(std::chrono::milliseconds grace = std::chrono::seconds(10));

 private:
  explicit SpawnedProcess(pid_t pid) : pid_(pid) {}

  pid_t pid_;
  std::optional<int> status_;
};

}  // namespace tarvex
