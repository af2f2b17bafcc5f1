// The environment handed to a program the system starts: the current
// process's environment with a few entries added or replaced.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

// Every entry of the current environment, except those whose name one of
// `overrides` ("NAME=value") names, followed by the overrides in order.
// Reads the environment; call it while no other thread changes it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides);

}  // namespace tarvex
