// SPDX-License-Identifier: GPL-3.0-or-later
// What the command-line programs share on top of CLI11: whole numbers
// checked for range, relative paths taken from the caller's directory, and
// parse errors turned into one line that names the option.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// Accepts decimal digits only (no sign, blank, fraction or suffix) whose
// value lies from `min` to `max`; the error names the range.
CLI::Validator WholeNumber(std::uint64_t min, std::uint64_t max);

// Parses `args` (without the program name). Returns "" on success, else the
// problem, which names the option ("--port: 9300abc is not a whole number
// from 1 to 65535", "unknown argument --colour").
std::string ParseArguments(CLI::App& app, const std::vector<std::string>& args);

// `path` taken relative to `base` unless it is absolute or empty.
std::string FromDirectory(const std::string& base, const std::string& path);

}  // namespace tarvex
