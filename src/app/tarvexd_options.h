// The command line of the headless server:
//   tarvexd [--listen-address ADDR]
//   tarvexd configure [--port N] [--login NAME] [--password-stdin]
//                     [--charset NAME] [--data-dir DIR] [--root-dir DIR]
//   tarvexd device-file [--ip A.B.C.D] --output DIR
//   tarvexd --help | --version
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvex {

struct TarvexdOptions {
  enum class Mode { kRun, kConfigure, kDeviceFile, kHelp, kVersion };
  Mode mode = Mode::kRun;
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

// The options, or the reason the command line is wrong in *error.
std::optional<TarvexdOptions> ParseTarvexdOptions(const std::vector<std::string>& args,
                                                  std::string* error);

extern const char kTarvexdUsage[];

}  // namespace tarvex
