// tarvexd: Tarvex Server without a window.
#include <iostream>
#include <string>
#include <vector>

#include "app/tarvexd_commands.h"
#include "app/server_setup.h"
#include "app/tarvexd_options.h"
#include "platform/app_folder.h"
#include "platform/instance_lock.h"
#include "platform/program_arguments.h"
#include "platform/socket.h"
#include "platform/terminal.h"
#include "protocol/codes.h"

int main(int argc, char** argv) {
  using namespace tarvex;
  KeepStandardStreamsOpen();
  // Started for the whole life of the program (Windows needs it; elsewhere
  // it never fails).
  const SocketLibrary sockets;
  if (!sockets.IsStarted()) {
    std::cerr << "Windows sockets initialization failed.\n";
    return 1;
  }
  const std::vector<std::string> args = ProgramArguments(argc, argv);
  std::string error;
  // Paths on the command line are the caller's, not the application folder's.
  std::optional<TarvexdOptions> options = ParseTarvexdOptions(args, CurrentDirectory(), &error);
  if (!options) {
    std::cerr << "tarvexd: " << error << "\n" << "Try tarvexd --help.\n";
    return 2;
  }
  switch (options->mode) {
    case TarvexdOptions::Mode::kHelp:
      std::cout << options->help;
      return 0;
    case TarvexdOptions::Mode::kStatus:
      return RunStatus(std::cout, std::cerr);
    case TarvexdOptions::Mode::kVersion:
      std::cout << "tarvexd " << protocol::kServerVersion << '\n';
      return 0;
    case TarvexdOptions::Mode::kDeviceFile:
      // Only reads the settings: it needs no lock and may run beside a server.
      if (!EnterAppFolder()) {
        std::cerr << "tarvexd: cannot enter the application folder\n";
        return 1;
      }
      return RunDeviceFile(*options, std::cout, std::cerr);
    default:
      break;
  }
  std::optional<InstanceLock> lock = InstanceLock::Acquire();
  if (!lock) {
    std::cerr << "tarvexd: Tarvex Server is already running\n";
    return 1;
  }
  if (!EnterAppFolder()) {
    std::cerr << "tarvexd: cannot enter the application folder\n";
    return 1;
  }
  RemoveStaleSaveFilesAtStartup();
  if (options->mode == TarvexdOptions::Mode::kConfigure) {
    return RunConfigure(*options, std::cerr);
  }
  return RunServer(*options);
}
