// What a program the system starts is handed: its arguments, and the current
// process's environment with a few entries added or replaced.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

// Every entry of the current environment, except those whose name one of
// `overrides` ("NAME=value") names, followed by the overrides in order.
// Reads the environment; call it while no other thread changes it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides);

// The argument and environment arrays an exec or spawn call takes: the
// program, then `args`; the merged environment. Built before the call, so a
// child after fork needs no allocation. Valid while the object lives.
class ExecArrays {
 public:
  ExecArrays(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& env);
  ExecArrays(const ExecArrays&) = delete;
  ExecArrays& operator=(const ExecArrays&) = delete;

  char* const* Argv() const { return argv_.data(); }
  char* const* Envp() const { return envp_.data(); }

 private:
  std::vector<std::string> strings_;  // arguments, then environment entries
  std::vector<char*> argv_;
  std::vector<char*> envp_;
};

}  // namespace tarvex
