// tarvex-device: a command-line handheld. Logs in to the file-exchange
// service of a server, runs one request (device_commands.h), ends the
// session and prints the answer. Failures print one line on standard error
// and exit non-zero: 1 the request or the link failed, 2 wrong usage, 3 the
// login was refused.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "client/device_command_line.h"
#include "client/device_commands.h"
#include "client/device_link.h"
#include "client/file_requests.h"
#include "platform/environment.h"
#include "platform/program_arguments.h"
#include "platform/socket.h"
#include "platform/terminal.h"
#include "protocol/codes.h"

namespace tarvex {
namespace {

int Main(const std::vector<std::string>& args) {
  std::string error;
  std::optional<CommandLine> line = ParseCommandLine(args, &error);
  if (!line) return Fail(error + "\nTry tarvex-device --help.", 2);
  if (line->help) {
    std::cout << kDeviceUsage;
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
  // Both in UTF-8 on every system (a console's line read as such).
  if (password_stdin) {
    password = AskLine("", false).value_or("");
  } else if (std::optional<std::string> from_env = EnvironmentVariable("TARVEX_PASSWORD")) {
    password = *from_env;
  }

  LoginOutcome outcome = LogIn(host, port, *login, password, kFileServiceId, kDeviceTimeout);
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
  Status ended = EndSession(link, kDeviceTimeout);
  CloseConnection(link);
  if (result == 0 && ended != 0) return LinkFailure("ending the session", ended);
  return result;
}

}  // namespace
}  // namespace tarvex

int main(int argc, char** argv) {
  tarvex::KeepStandardStreamsOpen();
  // Started for the whole life of the program (Windows needs it; elsewhere
  // it never fails).
  const tarvex::SocketLibrary sockets;
  if (!sockets.IsStarted()) {
    std::cerr << "Windows sockets initialization failed.\n";
    return 1;
  }
  return tarvex::Main(tarvex::ProgramArguments(argc, argv));
}
