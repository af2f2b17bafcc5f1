// The commands of tarvex-device, each run on a link that has logged in:
// the answer goes to standard output, a failure to one line on standard
// error.
#pragma once

#include <string>

#include "client/device_command_line.h"
#include "core/transport/connection.h"

namespace tarvex {

// The time-out of every receive, in tenths of a second.
inline constexpr int kDeviceTimeout = 300;

// Prints "tarvex-device: <message>" on standard error; gives `status`.
int Fail(const std::string& message, int status = 1);
// A request whose link failed at `status`; gives 1.
int LinkFailure(const char* what, Status status);

// Runs one command; the exit status.
int RunCommand(Connection* link, const Command& command);

}  // namespace tarvex
