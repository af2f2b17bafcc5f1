// tarvex-device: a command-line handheld. Logs in to the file-exchange
// service of a server, runs one request, ends the session and prints the
// answer. Failures print one line on standard error and exit non-zero:
// 1 the request or the link failed, 2 wrong usage, 3 the login was refused.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "client/desktop_search.h"
#include "client/device_link.h"
#include "client/file_requests.h"
#include "client/progress_bar.h"
#include "common/ascii.h"
#include "common/command_line.h"
#include "common/join_texts.h"
#include "common/path.h"
#include "platform/atomic_file.h"
#include "platform/file_info.h"
#include "platform/file_reader.h"
#include "platform/remove_on_signal.h"
#include "platform/terminal.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

constexpr int kTimeout = 300;

const char kUsage[] =
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

int Fail(const std::string& message, int status = 1) {
  std::cerr << "tarvex-device: " << message << '\n';
  return status;
}

int LinkFailure(const char* what, Status status) {
  return Fail(std::string(what) + " failed: link error " + std::to_string(status));
}

// A command: its verb, its operands, its options with their values, and the
// user id that "--user", "user-dir" or "tracked" names.
struct Command {
  std::string verb;
  std::vector<std::string> operands;
  std::map<std::string, std::string> options;
  std::uint32_t user_id = 0;
  bool Has(const std::string& option) const { return options.count(option) != 0; }
};

// The whole command line, as CLI11 fills it in.
struct CommandLine {
  std::string host = "127.0.0.1";
  std::uint16_t port = 9300;
  std::optional<std::string> login;
  bool password_stdin = false;
  bool help = false;
  bool version = false;
  Command command;
};

// Splits and checks the command line before anything is sent; none, with
// *error set (naming the option or operand), when it does not make one.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string* error) {
  CommandLine line;
  CLI::App app("tarvex-device", "tarvex-device");
  app.set_help_flag();  // kUsage says it better
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
  if (command.verb == "ls" && WithTrailingSeparator(command.operands[0]).size() >= protocol::listing::kPathWidth) {
    *error = "a directory to list holds at most " + std::to_string(protocol::listing::kPathWidth - 1) + " bytes";
    return std::nullopt;
  }
  return line;
}

// A stamp as it can be printed: twelve zero bytes (no file) read as dashes.
std::string PrintableStamp(const std::string& stamp) {
  return stamp.find('\0') == std::string::npos ? stamp : std::string(stamp.size(), '-');
}

// Draws progress on a terminal and nothing elsewhere.
class Progress {
 public:
  void Update(std::uint64_t done, std::uint64_t total) {
    if (!StandardErrorIsTerminal()) return;
    if (!bar_) bar_.emplace(total, std::cerr);
    bar_->Update(done);
  }
  void Finish() {
    if (bar_) bar_->Finish();
  }

 private:
  std::optional<ProgressBar> bar_;
};

int Get(Connection* link, const Command& command) {
  GetFileRequest request;
  request.directory = WithTrailingSeparator(command.operands[0]);
  request.name = command.operands[1];
  request.user_id = command.user_id;
  if (command.Has("--track")) request.track_flag = protocol::get_file::kTrack;
  const std::string target = command.Has("-o") ? command.options.at("-o") : Basename(request.name, "/\\");

  // The download goes to a temporary file that replaces the target only
  // once all of it has arrived.
  AtomicFile file(target);
  if (!file.IsOpen()) return Fail("cannot write " + target + ": " + SystemErrorText(file.Error()));
  // Interrupted (Ctrl-C, a stop, the terminal closed), it leaves no part.
  RemoveOnSignal interrupted(file.TemporaryPath());
  GetFileReply reply;
  std::uint64_t done = 0;
  Progress progress;
  const Status s = RequestGetFile(
      link, request, &reply,
      [&](std::string_view piece) {
        done += piece.size();
        progress.Update(done, reply.size);
        return file.Write(piece);
      },
      kTimeout);
  progress.Finish();
  if (s == kDeviceSideFailure) {
    CloseConnection(link);  // the rest of the content is still on its way
    return Fail("cannot write " + target + ": " + SystemErrorText(file.Error()));
  }
  if (s != 0) return LinkFailure("get", s);
  if (reply.status != protocol::get_file::kSending) {
    return Fail("get failed: the server cannot send " + request.directory + request.name + " (status " +
                std::to_string(reply.status) + ": " + DescribeGetFileStatus(reply.status) + ")");
  }
  if (!file.Commit()) return Fail("cannot write " + target + ": " + SystemErrorText(file.Error()));
  std::cout << target << " (" << reply.size << " bytes)\n";
  return 0;
}

int Put(Connection* link, const Command& command) {
  const std::string& source = command.operands[0];
  PutFileRequest request;
  request.directory = WithTrailingSeparator(command.operands[1]);
  request.name = command.Has("--name") ? command.options.at("--name") : Basename(source, "/\\");
  request.user_id = command.user_id;
  FileReader file(source);
  if (!file.IsOpen()) {
    return Fail("cannot read " + source + ": " +
                (file.NotRegular() ? std::string("not a regular file") : SystemErrorText(file.Error())));
  }
  if (file.Size() > std::numeric_limits<std::uint32_t>::max()) {
    return Fail("cannot send " + source + ": files of 4 GiB or more do not fit the protocol");
  }
  request.size = static_cast<std::uint32_t>(file.Size());
  std::uint64_t done = 0;
  Progress progress;
  std::int32_t reply = 0;
  const Status s = RequestPutFile(
      link, request,
      [&](char* out, std::size_t n) {
        const long got = file.Read(out, n);
        if (got > 0) done += static_cast<std::uint64_t>(got);
        progress.Update(done, request.size);
        return got;
      },
      &reply, kTimeout);
  progress.Finish();
  if (s == kDeviceSideFailure) {
    CloseConnection(link);  // the server still waits for the rest of the content
    return Fail("cannot read " + source + ": it changed or failed while being sent");
  }
  if (s != 0) return LinkFailure("put", s);
  if (reply != 0) {
    return Fail("put failed: the server did not store " + request.directory + request.name + " (status " +
                std::to_string(reply) + ": " + DescribePutFileStatus(reply) + ")");
  }
  std::cout << request.directory << request.name << " (" << request.size << " bytes)\n";
  return 0;
}

// Why the desktop answered a search with a status other than 0.
std::string DescribeSearchStatus(std::uint32_t status) {
  switch (status) {
    case protocol::search_status::kNoSearchAddress: return "no desktop search engine is set up on the desktop";
    case protocol::search_status::kBadSearchAddress: return "the desktop's search engine address is not an HTTP address";
    case protocol::search_status::kSearchFailed: return "the desktop's search engine did not answer";
    default: return "unknown status";
  }
}

int Search(Connection* link, const Command& command) {
  const auto number = [&command](const char* option, std::uint32_t fallback) {
    return command.Has(option) ? static_cast<std::uint32_t>(std::stoul(command.options.at(option))) : fallback;
  };
  SearchReply reply;
  Status s = RequestSearch(link, command.operands[0], number("--count", 10), number("--start", 0), &reply, kTimeout);
  if (s != 0) return LinkFailure("search", s);
  if (reply.status != 0) {
    return Fail("search failed: " + DescribeSearchStatus(reply.status) + " (" + std::to_string(reply.status) + ")");
  }
  std::cout << reply.total << '\n';
  for (const FoundItem& item : reply.items) {
    std::cout << CategoryName(item.category) << '\t' << PrintableStamp(item.stamp) << '\t' << item.size << '\t'
              << item.directory << item.name << '\t' << item.snippet << '\n';
  }
  return 0;
}

// Runs one command on a logged-in link; the exit status.
int RunCommand(Connection* link, const Command& command) {
  const std::string& verb = command.verb;
  const std::vector<std::string>& operands = command.operands;
  if (verb == "get") return Get(link, command);
  if (verb == "put") return Put(link, command);
  if (verb == "search") return Search(link, command);
  if (verb == "info") {
    std::string tag;
    if (Status s = RequestServerInfo(link, &tag, kTimeout)) return LinkFailure("info", s);
    std::cout << tag << '\n';
  } else if (verb == "users") {
    std::vector<DeviceUser> users;
    if (Status s = RequestUsers(link, &users, kTimeout)) return LinkFailure("users", s);
    for (const DeviceUser& user : users) std::cout << user.id << ' ' << user.name << '\n';
  } else if (verb == "add-user") {
    AddUserReply reply;
    Status s = RequestAddUser(link, operands[0], operands.size() == 2 ? operands[1] : "", &reply, kTimeout);
    if (s != 0) return LinkFailure("add-user", s);
    if (reply.duplicate) return Fail("a user named \"" + operands[0] + "\" exists already");
    if (reply.id == 0) return Fail("the server did not add the user \"" + operands[0] + "\"");
    std::cout << reply.id << '\n';
  } else if (verb == "ls") {
    const std::string path = WithTrailingSeparator(operands[0]);
    std::vector<ListingEntry> entries;
    if (Status s = RequestListDirectory(link, path, &entries, kTimeout)) return LinkFailure("ls", s);
    for (const ListingEntry& entry : entries) {
      char size[16];
      std::snprintf(size, sizeof size, "%10u", static_cast<unsigned>(entry.size));
      std::cout << (entry.is_directory ? 'd' : '-') << ' ' << PrintableStamp(entry.stamp) << ' ' << size << ' '
                << entry.name << '\n';
    }
  } else if (verb == "drives") {
    std::vector<std::string> drives;
    if (Status s = RequestListDrives(link, &drives, kTimeout)) return LinkFailure("drives", s);
    for (const std::string& drive : drives) std::cout << drive << '\n';
  } else if (verb == "tracked") {
    std::vector<TrackedFile> files;
    if (Status s = RequestTrackedFiles(link, command.user_id, &files, kTimeout)) return LinkFailure("tracked", s);
    for (const TrackedFile& f : files) {
      std::cout << PrintableStamp(f.stamp) << ' ' << f.size << ' ' << f.directory << f.name << '\n';
    }
  } else {
    std::optional<std::string> path;
    Status s = RequestUserDirectory(link, command.user_id, &path, kTimeout);
    if (s != 0) return LinkFailure("user-dir", s);
    if (!path) return Fail("the server has no directory for user " + operands[0]);
    std::cout << *path << '\n';
  }
  return 0;
}

int Main(const std::vector<std::string>& args) {
  std::string error;
  std::optional<CommandLine> line = ParseCommandLine(args, &error);
  if (!line) return Fail(error + "\nTry tarvex-device --help.", 2);
  if (line->help) {
    std::cout << kUsage;
    return 0;
  }
  if (line->version) {
    std::cout << "tarvex-device " << protocol::kServerVersion << '\n';
    return 0;
  }
  const std::string& host = line->host;
  const std::uint16_t port = line->port;
  const bool password_stdin = line->password_stdin;
  const std::optional<Command> parsed = line->command;
  const std::optional<std::string>& login = line->login;

  std::string password;
  if (password_stdin) {
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
  } else if (const char* from_env = std::getenv("TARVEX_PASSWORD")) {
    password = from_env;
  }

  LoginOutcome outcome = LogIn(host, port, *login, password, kFileServiceId, kTimeout);
  if (!outcome.connected) return Fail("cannot connect to " + host + ":" + std::to_string(port));
  if (outcome.closed_unanswered) {
    // The server closes at once a login it cannot read (the link was keyed
    // with another password) or one from an address it refuses for now.
    return Fail("login refused: the login name or password is wrong (or the server refuses this address for now)",
                3);
  }
  if (outcome.transport != 0) {
    return Fail("no answer to the login (link error " + std::to_string(outcome.transport) +
                "); is the password right?");
  }
  if (outcome.auth_status != kAuthAccepted) return Fail("login refused: " + DescribeAuthStatus(outcome.auth_status), 3);

  Connection* link = outcome.connection.get();
  const int result = RunCommand(link, *parsed);
  Status ended = EndSession(link, kTimeout);
  CloseConnection(link);
  if (result == 0 && ended != 0) return LinkFailure("ending the session", ended);
  return result;
}

}  // namespace
}  // namespace tarvex

int main(int argc, char** argv) { return tarvex::Main(std::vector<std::string>(argv + 1, argv + argc)); }
