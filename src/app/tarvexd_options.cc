#include "app/tarvexd_options.h"

#include "common/command_line.h"

namespace tarvex {

const char kSettingsRules[] =
    "Rules: the login name must not be empty and must not hold control characters;\n"
    "the password must be at least 5 characters long; the port is a whole number\n"
    "from 1 to 32767 (9300 unless you choose another). Every handheld must send\n"
    "this login name and password.\n";

const char kTarvexdUsage[] =
    "Usage:\n"
    "  tarvexd [--listen-address ADDR]\n"
    "      Runs Tarvex Server in the foreground until it is asked to stop (SIGTERM\n"
    "      or SIGINT on Linux; Ctrl-C, Ctrl-Break or closing the console on\n"
    "      Windows). It first prints the port and the addresses handhelds can\n"
    "      connect to. Every log record is also written to standard error (with\n"
    "      syslog priority prefixes under systemd).\n"
    "  tarvexd configure [--port N] [--login NAME] [--password-stdin]\n"
    "                    [--charset NAME] [--data-dir DIR] [--root-dir DIR]\n"
    "      Stores the settings given; the others stay as they are.\n"
    "      --password-stdin reads the password from the first line of standard input.\n"
    "      --charset sets CHARSET, the code page of the handhelds' texts (default\n"
    "      WINDOWS-1252; any code page the system knows, such as SHIFT_JIS for\n"
    "      Japanese handhelds). Names and texts are converted to and from UTF-8\n"
    "      with it.\n"
    "      --data-dir takes effect at the next start. See tarvexd configure --help.\n"
    "  tarvexd device-file [--ip A.B.C.D] --output DIR\n"
    "      Writes DIR/QSSrvCfgDB.pdb, the configuration database a handheld\n"
    "      installs: this computer's IP address, the port, the login name and the\n"
    "      stored (enciphered) password. --ip may be left out when the computer\n"
    "      has exactly one network address other than loopback.\n"
    "  tarvexd status\n"
    "      Asks the running server (tarvexd or the window) for its state, port,\n"
    "      addresses and the devices connected. Exits 3 when no server runs.\n"
    "  tarvexd --help | --version\n"
    "Relative paths are taken from the directory the command is started in.\n";

const char kConfigureUsage[] =
    "Usage: tarvexd configure [--port N] [--login NAME] [--password-stdin]\n"
    "                         [--charset NAME] [--data-dir DIR] [--root-dir DIR]\n"
    "  Stores the settings given; the others stay as they are. Everything is\n"
    "  checked before anything is stored.\n"
    "  --port N          the TCP port handhelds connect to\n"
    "  --login NAME      the login name every handheld must send\n"
    "  --password-stdin  reads the password from the first line of standard input\n"
    "  --charset NAME    the code page of the handhelds' texts (default WINDOWS-1252;\n"
    "                    any code page the system knows, such as SHIFT_JIS)\n"
    "  --data-dir DIR    the folder of the settings and record files (next start)\n"
    "  --root-dir DIR    the folder under which each device user gets a directory\n";

std::optional<TarvexdOptions> ParseTarvexdOptions(const std::vector<std::string>& args,
                                                  const std::string& caller_directory,
                                                  std::string* error) {
  TarvexdOptions options;
  CLI::App app("tarvexd", "tarvexd");
  app.set_help_flag();  // our own texts, below
  bool help = false;
  bool version = false;
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);
  app.add_option("--listen-address", options.listen_address);

  // A command with our own help flag in place of CLI11's.
  auto command = [&app](const char* name, bool* asks_help) {
    CLI::App* sub = app.add_subcommand(name);
    sub->set_help_flag();
    sub->add_flag("-h,--help", *asks_help);
    return sub;
  };
  bool configure_help = false;
  CLI::App* configure = command("configure", &configure_help);
  // An empty port is left to the configuration dialog's own message.
  const CLI::Validator port_range = WholeNumber(1, 32767);
  configure->add_option("--port", options.port)->check([port_range](const std::string& text) {
    std::string checked = text;
    return text.empty() ? std::string() : port_range(checked);
  });
  configure->add_option("--login", options.login);
  configure->add_flag("--password-stdin", options.password_stdin);
  configure->add_option("--charset", options.charset);
  configure->add_option("--data-dir", options.data_dir);
  configure->add_option("--root-dir", options.root_dir);

  bool device_file_help = false;
  CLI::App* device_file = command("device-file", &device_file_help);
  device_file->add_option("--ip", options.ip);
  device_file->add_option("--output", options.output);

  bool status_help = false;
  CLI::App* status = command("status", &status_help);

  app.require_subcommand(0, 1);
  *error = ParseArguments(app, args);
  if (!error->empty()) return std::nullopt;

  if (help || device_file_help || status_help) {
    options.mode = TarvexdOptions::Mode::kHelp;
    options.help = kTarvexdUsage;
    return options;
  }
  if (configure_help) {
    options.mode = TarvexdOptions::Mode::kHelp;
    options.help = std::string(kConfigureUsage) + kSettingsRules;
    return options;
  }
  if (version) {
    options.mode = TarvexdOptions::Mode::kVersion;
    return options;
  }
  if (configure->parsed()) options.mode = TarvexdOptions::Mode::kConfigure;
  if (device_file->parsed()) options.mode = TarvexdOptions::Mode::kDeviceFile;
  if (status->parsed()) options.mode = TarvexdOptions::Mode::kStatus;
  for (std::optional<std::string>* path : {&options.data_dir, &options.root_dir, &options.output}) {
    if (*path) **path = FromDirectory(caller_directory, **path);
  }
  return options;
}

}  // namespace tarvex
