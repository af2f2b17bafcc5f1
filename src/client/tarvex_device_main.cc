// tarvex-device: a command-line handheld. Logs in to the file-exchange
// service of a server, runs one request, ends the session and prints the
// answer. Failures print one line on standard error and exit non-zero:
// 1 the request or the link failed, 2 wrong usage, 3 the login was refused.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "client/desktop_search.h"
#include "client/device_link.h"
#include "client/file_requests.h"
#include "common/ascii.h"
#include "protocol/codes.h"

namespace tarvex {
namespace {

constexpr int kTimeout = 300;

const char kUsage[] =
    "Usage: tarvex-device [--host H] [--port P] --login NAME [--password-stdin] COMMAND\n"
    "  The password comes from standard input with --password-stdin, otherwise\n"
    "  from the environment variable TARVEX_PASSWORD.\n"
    "Commands:\n"
    "  info                  prints the server's version tag\n"
    "  users                 lists the device users, one \"id name\" line each\n"
    "  add-user NAME [NOTE]  adds a device user and prints its id\n"
    "  user-dir ID           prints the user's directory on the desktop\n"
    "  search TEXT [--count N] [--start I]\n"
    "                        searches the desktop (10 results from the first by\n"
    "                        default); prints the total, then one line per result:\n"
    "                        category, stamp, size, path and snippet, tab-separated\n";

int Fail(const std::string& message, int status = 1) {
  std::cerr << "tarvex-device: " << message << '\n';
  return status;
}

int LinkFailure(const char* what, Status status) {
  return Fail(std::string(what) + " failed: link error " + std::to_string(status));
}

bool IsKnownCommand(const std::vector<std::string>& command) {
  const std::string& verb = command[0];
  const std::size_t n = command.size();
  return ((verb == "info" || verb == "users") && n == 1) ||
         (verb == "add-user" && (n == 2 || n == 3)) || (verb == "user-dir" && n == 2) ||
         (verb == "search" && n >= 2);
}

// Why the desktop answered a search with a non-zero status.
std::string DescribeSearchStatus(std::uint32_t status) {
  namespace search_status = protocol::search_status;
  switch (status) {
    case search_status::kNoSearchAddress: return "no desktop search engine is set up on the desktop";
    case search_status::kBadSearchAddress: return "the desktop's search engine address is not an HTTP address";
    case search_status::kSearchFailed: return "the desktop's search engine did not answer";
    default: return "unknown status";
  }
}

// search TEXT [--count N] [--start I]
int RunSearch(Connection* link, const std::vector<std::string>& command) {
  std::uint32_t count = 10;
  std::uint32_t first = 0;
  for (std::size_t i = 2; i < command.size(); i += 2) {
    const bool has_value = i + 1 < command.size() && !command[i + 1].empty() &&
                           command[i + 1].find_first_not_of("0123456789") == std::string::npos;
    if (!has_value || (command[i] != "--count" && command[i] != "--start")) {
      return Fail("search: expected --count N or --start I, not " + command[i] + "\n" + kUsage, 2);
    }
    const auto value = static_cast<std::uint32_t>(std::strtoul(command[i + 1].c_str(), nullptr, 10));
    (command[i] == "--count" ? count : first) = value;
  }
  SearchReply reply;
  if (Status s = RequestSearch(link, command[1], count, first, &reply, kTimeout)) return LinkFailure("search", s);
  if (reply.status != 0) {
    return Fail("search failed: " + DescribeSearchStatus(reply.status) + " (" + std::to_string(reply.status) + ")");
  }
  std::cout << reply.total << '\n';
  for (const FoundItem& item : reply.items) {
    const bool no_file = item.stamp.find_first_not_of('\0') == std::string::npos;
    std::cout << CategoryName(item.category) << '\t' << (no_file ? "-" : item.stamp) << '\t' << item.size
              << '\t' << item.directory << item.name << '\t' << item.snippet << '\n';
  }
  return 0;
}

// Runs one command on a logged-in link; the exit status.
int RunCommand(Connection* link, const std::vector<std::string>& command) {
  const std::string& verb = command[0];
  if (verb == "search") return RunSearch(link, command);
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
    Status s = RequestAddUser(link, command[1], command.size() == 3 ? command[2] : "", &reply, kTimeout);
    if (s != 0) return LinkFailure("add-user", s);
    if (reply.duplicate) return Fail("a user named \"" + command[1] + "\" exists already");
    if (reply.id == 0) return Fail("the server did not add the user \"" + command[1] + "\"");
    std::cout << reply.id << '\n';
  } else {
    const auto id = static_cast<std::uint32_t>(std::strtoul(command[1].c_str(), nullptr, 10));
    std::optional<std::string> path;
    Status s = RequestUserDirectory(link, id, &path, kTimeout);
    if (s != 0) return LinkFailure("user-dir", s);
    if (!path) return Fail("the server has no directory for user " + command[1]);
    std::cout << *path << '\n';
  }
  return 0;
}

int Main(const std::vector<std::string>& args) {
  std::string host = "127.0.0.1";
  std::uint16_t port = 9300;
  std::optional<std::string> login;
  bool password_stdin = false;
  std::vector<std::string> command;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (!command.empty()) {
      command.push_back(arg);
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--host" && has_value) {
      host = args[++i];
    } else if (arg == "--port" && has_value) {
      const std::int32_t value = ParseDecimal(args[++i]);
      if (value < 1 || value > 65535) return Fail("invalid port " + args[i], 2);
      port = static_cast<std::uint16_t>(value);
    } else if (arg == "--login" && has_value) {
      login = args[++i];
    } else if (arg == "--password-stdin") {
      password_stdin = true;
    } else if (arg.rfind("--", 0) == 0) {
      return Fail("unknown option " + arg + "\n" + kUsage, 2);
    } else {
      command.push_back(arg);
    }
  }
  if (!login || command.empty()) return Fail(std::string("a login and a command are needed\n") + kUsage, 2);
  if (!IsKnownCommand(command)) return Fail("unknown command or wrong arguments: " + command[0] + "\n" + kUsage, 2);

  std::string password;
  if (password_stdin) {
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
  } else if (const char* from_env = std::getenv("TARVEX_PASSWORD")) {
    password = from_env;
  }

  LoginOutcome outcome = LogIn(host, port, *login, password, kFileServiceId, kTimeout);
  if (!outcome.connected) return Fail("cannot connect to " + host + ":" + std::to_string(port));
  if (outcome.transport != 0) {
    // A server keyed with another password cannot read the request and stays silent.
    return Fail("no answer to the login (link error " + std::to_string(outcome.transport) +
                "); is the password right?");
  }
  if (outcome.auth_status != kAuthAccepted) return Fail("login refused: " + DescribeAuthStatus(outcome.auth_status), 3);

  Connection* link = outcome.connection.get();
  const int result = RunCommand(link, command);
  Status ended = EndSession(link, kTimeout);
  CloseConnection(link);
  if (result == 0 && ended != 0) return LinkFailure("ending the session", ended);
  return result;
}

}  // namespace
}  // namespace tarvex

int main(int argc, char** argv) { return tarvex::Main(std::vector<std::string>(argv + 1, argv + argc)); }
