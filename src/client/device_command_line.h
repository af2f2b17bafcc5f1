// The command line of tarvex-device: global options, then one command with
// its operands and options, checked before anything is sent.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

// The text of --help.
extern const char kDeviceUsage[];

// A command: its verb, its operands, its options with their values, and the
// user id that "--user", "user-dir" or "tracked" names.
struct Command {
  std::string verb;
  std::vector<std::string> operands;
  std::map<std::string, std::string> options;
  std::uint32_t user_id = 0;
  bool Has(const std::string& option) const { return options.count(option) != 0; }
};

// The whole command line.
struct CommandLine {
  std::string host = "127.0.0.1";
  std::uint16_t port = 9300;
  std::optional<std::string> login;
  bool password_stdin = false;
  bool help = false;
  bool version = false;
  Command command;
};

// A directory of the server as the device sends it: with "/" appended unless
// it ends in a separator already (a server on either platform takes "/"), so
// the device writes the same request wherever it runs.
std::string ServerDirectory(std::string directory);

// Splits and checks the command line; none, with *error set (naming the
// option or operand), when it does not make one.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string* error);

}  // namespace tarvex
