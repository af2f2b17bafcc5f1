// The two commands of the headless server. Each returns the exit status:
// 0 done, 1 the server could not run, 2 invalid input or not configured.
#pragma once

#include <iosfwd>

#include "app/tarvexd_options.h"

namespace tarvex {

class ServerSettings;

// Stores what the options give, after checking all of it; nothing is stored
// when any check fails. Messages go to `err`; the password is read from `in`.
int RunConfigure(const TarvexdOptions& options, std::istream& in, std::ostream& err);

// Writes the device configuration database into options.output; prints the
// path written on `out`. Reads the settings only, so it may run beside a
// running server.
int RunDeviceFile(const TarvexdOptions& options, std::ostream& out, std::ostream& err);

// Runs the server in the foreground until SIGTERM or SIGINT.
int RunServer(const TarvexdOptions& options);

// Asks for login name, password (twice, not echoed) and port on the terminal
// until they pass the checks, then stores and saves them. False at end of
// input.
bool AskServerSettings(ServerSettings& settings);

}  // namespace tarvex
