// ChildProcess: runs a program with arguments and extra environment
// variables, feeds its standard input and collects its standard output and
// standard error. Used by tests of the command-line programs.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace tarvex {

class ChildProcess {
 public:
  // Starts `program` with `args`; `env` entries ("NAME=value") are added to
  // (or replace in) the current environment. `input` is written to its
  // standard input, which is then closed.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env, const std::string& input = "");
  ~ChildProcess();  // kills a child that still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // Sends a signal (SIGTERM by default).
  void Signal(int signal_number = 15);
  // Waits up to `limit` for the exit; the exit status (128 + signal when
  // killed), or none when it still runs.
  std::optional<int> Wait(std::chrono::milliseconds limit);

  // What the child wrote so far (read without blocking).
  const std::string& Output();
  const std::string& Errors();
  // Stops reading the child's standard error and closes this end of its
  // pipe, as a reader that goes away does: the child's next write there fails.
  void CloseErrors();

 private:
  void Drain();

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
  std::string err_;
  std::optional<int> status_;
};

// Runs a program to its end (at most `limit`); exit status and both outputs.
struct ProgramResult {
  int status = -1;  // -1 when it did not end in time
  std::string out;
  std::string err;
};
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& input = "",
                         std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace tarvex
