#include "app/tarvexd_options.h"

namespace tarvex {

const char kTarvexdUsage[] =
    "Usage:\n"
    "  tarvexd [--listen-address ADDR]\n"
    "      Runs Tarvex Server in the foreground until SIGTERM or SIGINT.\n"
    "      Every log record is also written to standard error.\n"
    "  tarvexd configure [--port N] [--login NAME] [--password-stdin]\n"
    "                    [--charset NAME] [--data-dir DIR] [--root-dir DIR]\n"
    "      Stores the settings given; the others stay as they are.\n"
    "      --password-stdin reads the password from the first line of standard input.\n"
    "      --charset sets CHARSET, the code page of the handhelds' texts (default\n"
    "      WINDOWS-1252; any name iconv knows, such as SHIFT_JIS for Japanese\n"
    "      handhelds). Names and texts are converted to and from UTF-8 with it.\n"
    "      --data-dir takes effect at the next start.\n"
    "  tarvexd device-file [--ip A.B.C.D] --output DIR\n"
    "      Writes DIR/QSSrvCfgDB.pdb, the configuration database a handheld\n"
    "      installs: this computer's IP address, the port, the login name and the\n"
    "      stored (enciphered) password. --ip may be left out when the computer\n"
    "      has exactly one network address other than loopback.\n"
    "  tarvexd --help | --version\n";

std::optional<TarvexdOptions> ParseTarvexdOptions(const std::vector<std::string>& args,
                                                  std::string* error) {
  TarvexdOptions options;
  std::size_t i = 0;
  if (!args.empty() && args[0] == "configure") {
    options.mode = TarvexdOptions::Mode::kConfigure;
    i = 1;
  } else if (!args.empty() && args[0] == "device-file") {
    options.mode = TarvexdOptions::Mode::kDeviceFile;
    i = 1;
  }
  const bool configure = options.mode == TarvexdOptions::Mode::kConfigure;
  const bool device_file = options.mode == TarvexdOptions::Mode::kDeviceFile;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::optional<std::string>* out) {
      if (i + 1 >= args.size()) {
        *error = "option " + arg + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::optional<std::string> address;
    if (arg == "--help" || arg == "-h") {
      options.mode = TarvexdOptions::Mode::kHelp;
      return options;
    } else if (arg == "--version") {
      options.mode = TarvexdOptions::Mode::kVersion;
      return options;
    } else if (device_file && arg == "--ip") {
      if (!value(&options.ip)) return std::nullopt;
    } else if (device_file && arg == "--output") {
      if (!value(&options.output)) return std::nullopt;
    } else if (!configure && !device_file && arg == "--listen-address") {
      if (!value(&address)) return std::nullopt;
      options.listen_address = *address;
    } else if (configure && arg == "--port") {
      if (!value(&options.port)) return std::nullopt;
    } else if (configure && arg == "--login") {
      if (!value(&options.login)) return std::nullopt;
    } else if (configure && arg == "--password-stdin") {
      options.password_stdin = true;
    } else if (configure && arg == "--charset") {
      if (!value(&options.charset)) return std::nullopt;
    } else if (configure && arg == "--data-dir") {
      if (!value(&options.data_dir)) return std::nullopt;
    } else if (configure && arg == "--root-dir") {
      if (!value(&options.root_dir)) return std::nullopt;
    } else {
      *error = "unknown argument: " + arg;
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace tarvex
