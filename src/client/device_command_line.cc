#include "client/device_command_line.h"

#include <limits>

#include "common/command_line.h"
#include "platform/path.h"
#include "protocol/layouts.h"

namespace tarvex {

const char kDeviceUsage[] =
    "Usage: tarvex-device [--host H] [--port P] --login NAME [--password-stdin] COMMAND\n"
    "       tarvex-device --help | --version\n"
    "  --host defaults to 127.0.0.1 and --port to 9300.\n"
    "  The password comes from standard input with --password-stdin, otherwise\n"
    "  from the environment variable TARVEX_PASSWORD.\n"
    "Commands:\n"
    "  info                  prints the server's version tag\n"
    "  users                 lists the device users, one \"id name\" line each\n"
    "  add-user NAME [NOTE]  adds a device user and prints its id\n"
    "  user-dir ID           prints the user's directory on the desktop\n"
    "  get DIR NAME [-o FILE] [--track --user ID]\n"
    "                        fetches DIR/NAME into FILE (default NAME); --track\n"
    "                        records the download for the user\n"
    "  put FILE DIR [--user ID] [--name NAME]\n"
    "                        stores FILE in the desktop directory DIR\n"
    "  ls DIR                lists a desktop directory: d or -, stamp, size, name\n"
    "  drives                lists the desktop's drives\n"
    "  tracked ID            lists the files tracked for a user: stamp, size, path\n"
    "  search TEXT [--count N] [--start I]\n"
    "                        searches the desktop's documents (10 results from the\n"
    "                        first by default): prints the total, then one line per\n"
    "                        result: category, stamp, size, path, snippet, tab-separated\n";

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string* error) {
  CommandLine line;
  CLI::App app("tarvex-device", "tarvex-device");
  app.set_help_flag();  // kDeviceUsage says it better
  app.add_flag("-h,--help", line.help);
  app.add_flag("--version", line.version);
  app.add_option("--host", line.host);
  app.add_option("--port", line.port)->check(WholeNumber(1, 65535));
  app.add_option("--login", line.login);
  app.add_flag("--password-stdin", line.password_stdin);
  app.require_subcommand(0, 1);

  Command& command = line.command;
  std::map<std::string, std::optional<std::string>> texts;  // operands and valued options by name
  std::optional<std::uint32_t> user_id, count, start;
  bool track = false;
  const CLI::Validator id_range = WholeNumber(0, std::numeric_limits<std::uint32_t>::max());
  auto verb = [&](const char* name) {
    CLI::App* sub = app.add_subcommand(name);
    sub->set_help_flag();
    sub->add_flag("-h,--help", line.help);
    sub->fallthrough();  // the global options may follow the command
    return sub;
  };
  auto operand = [&](CLI::App* sub, const char* name, bool required = true) {
    sub->add_option(name, texts[name])->required(required);
  };
  auto user_operand = [&](CLI::App* sub) { sub->add_option("ID", user_id)->required()->check(id_range); };
  verb("info");
  verb("users");
  CLI::App* add_user = verb("add-user");
  operand(add_user, "NAME");
  operand(add_user, "NOTE", false);
  user_operand(verb("user-dir"));
  CLI::App* get = verb("get");
  operand(get, "DIR");
  operand(get, "FILE_NAME");
  get->add_option("-o", texts["-o"]);
  get->add_flag("--track", track);
  get->add_option("--user", user_id)->check(id_range);
  CLI::App* put = verb("put");
  operand(put, "FILE");
  operand(put, "DIR");
  put->add_option("--user", user_id)->check(id_range);
  put->add_option("--name", texts["--name"]);
  operand(verb("ls"), "DIR");
  verb("drives");
  user_operand(verb("tracked"));
  CLI::App* search = verb("search");
  operand(search, "TEXT");
  search->add_option("--count", count)->check(id_range);
  search->add_option("--start", start)->check(id_range);

  *error = ParseArguments(app, args);
  if (!error->empty()) return std::nullopt;
  if (line.help || line.version) return line;
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  if (!line.login || chosen.empty()) {
    *error = "a login and a command are needed";
    return std::nullopt;
  }
  command.verb = chosen.front()->get_name();
  for (const char* name : {"NAME", "NOTE", "DIR", "FILE_NAME", "FILE", "TEXT"}) {
    // Operands in the order the command takes them.
    if (const CLI::Option* given = chosen.front()->get_option_no_throw(name); given && given->count() > 0) {
      command.operands.push_back(*texts[name]);
    }
  }
  if (command.verb == "put") std::swap(command.operands[0], command.operands[1]);  // FILE, then DIR
  if (user_id) {
    command.user_id = *user_id;
    command.options["--user"] = std::to_string(*user_id);
    if (command.verb == "user-dir" || command.verb == "tracked") command.operands.push_back(command.options["--user"]);
  }
  for (const char* name : {"-o", "--name"}) {
    if (texts[name]) command.options[name] = *texts[name];
  }
  if (count) command.options["--count"] = std::to_string(*count);
  if (start) command.options["--start"] = std::to_string(*start);
  if (track) command.options["--track"] = "";
  if (track && !user_id) {
    *error = "--track needs --user ID";
    return std::nullopt;
  }
  if (command.verb == "ls" && ServerDirectory(command.operands[0]).size() >= protocol::listing::kPathWidth) {
    *error = "a directory to list holds at most " + std::to_string(protocol::listing::kPathWidth - 1) + " bytes";
    return std::nullopt;
  }
  return line;
}

std::string ServerDirectory(std::string directory) {
  if (!directory.empty() && !EndsInSeparator(directory)) directory += '/';
  return directory;
}

}  // namespace tarvex
