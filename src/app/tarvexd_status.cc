// SPDX-License-Identifier: GPL-3.0-or-later
#include <ostream>

#include "app/control_server.h"
#include "app/tarvexd_commands.h"

namespace tarvex {

int RunStatus(std::ostream& out, std::ostream& err) {
  constexpr int kRunning = 0, kNotRunning = 3, kUnknown = 4;
  std::optional<std::string> reply = AskRunningServer("status");
  if (!reply) {
    out << "Tarvex Server is not running.\n";
    return kNotRunning;
  }
  const std::size_t line_end = reply->find('\n');
  const std::string state = reply->substr(0, line_end);
  if (line_end == std::string::npos || (state != "running" && state != "stopped")) {
    err << "tarvexd: the running server did not answer\n";
    return kUnknown;
  }
  out << reply->substr(line_end + 1);
  return state == "running" ? kRunning : kNotRunning;
}

}  // namespace tarvex
