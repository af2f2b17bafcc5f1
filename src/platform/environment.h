// The environment: one variable's value, and what a program the system
// starts is handed: the current process's environment with a few entries
// added or replaced.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvex {

// The value of the environment variable `name` in UTF-8 (on Windows read as
// UTF-16, so any character survives); none when it is not set.
std::optional<std::string> EnvironmentVariable(const std::string& name);

// Every entry of the current environment ("NAME=value"), except those whose
// name one of `overrides` ("NAME=value") names, followed by the overrides in
// order. Names compare exactly on Linux and regardless of case on Windows,
// as each system looks them up. Texts are UTF-8.
// Reads the environment; call it while no other thread changes it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides);

}  // namespace tarvex
