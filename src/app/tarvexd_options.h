// The command line of the headless server:
//   tarvexd [--listen-address ADDR]
//   tarvexd configure [--port N] [--login NAME] [--password-stdin]
//                     [--charset NAME] [--data-dir DIR] [--root-dir DIR]
//   tarvexd device-file [--ip A.B.C.D] --output DIR
//   tarvexd status
//   tarvexd --help | --version
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvex {

struct TarvexdOptions {
  enum class Mode { kRun, kConfigure, kDeviceFile, kStatus, kHelp, kVersion };
  Mode mode = Mode::kRun;
  std::string help;  // with kHelp: the text asked for
  std::string listen_address = "0.0.0.0";
  std::optional<std::string> port;
  std::optional<std::string> login;
  bool password_stdin = false;
  std::optional<std::string> charset;
  std::optional<std::string> data_dir;
  std::optional<std::string> root_dir;
  std::optional<std::string> ip;
  std::optional<std::string> output;
};

// The options, or the reason the command line is wrong in *error (naming
// the option). Paths (--data-dir, --root-dir, --output) are taken relative
// to `caller_directory`, the directory the command was started in.
std::optional<TarvexdOptions> ParseTarvexdOptions(const std::vector<std::string>& args,
                                                  const std::string& caller_directory,
                                                  std::string* error);

// What a login name, password and port must be, as the first run and
// `tarvexd configure --help` state before asking.
extern const char kSettingsRules[];

extern const char kTarvexdUsage[];
extern const char kConfigureUsage[];

}  // namespace tarvex
