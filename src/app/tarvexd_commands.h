// The commands of the headless server. Each returns the exit status:
// 0 done, 1 the server could not run, 2 invalid input or not configured;
// `status` has codes of its own.
#pragma once

#include <iosfwd>

#include "app/tarvexd_options.h"

namespace tarvex {

class ServerSettings;

// Stores what the options give, after checking all of it; nothing is stored
// when any check fails. Messages go to `err`; the password is read from the
// first line of standard input.
int RunConfigure(const TarvexdOptions& options, std::ostream& err);

// Writes the device configuration database into options.output; prints the
// path written on `out`. Reads the settings only, so it may run beside a
// running server.
int RunDeviceFile(const TarvexdOptions& options, std::ostream& out, std::ostream& err);

// Runs the server in the foreground until SIGTERM or SIGINT.
int RunServer(const TarvexdOptions& options);

// Asks the running server for its report and prints it on `out`. Exit
// status: 0 running, 3 no server runs (or it is stopped), 4 it did not
// answer.
int RunStatus(std::ostream& out, std::ostream& err);

// Asks for login name, password (twice, not echoed) and port on the terminal
// until they pass the checks, then stores and saves them. False at end of
// input.
bool AskServerSettings(ServerSettings& settings);

}  // namespace tarvex
