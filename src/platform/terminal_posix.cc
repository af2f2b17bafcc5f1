#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "platform/terminal.h"

namespace tarvex {

void KeepStandardStreamsOpen() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    // open() takes the lowest free number, which is this one.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened != fd && opened >= 0) ::close(opened);
  }
}

bool IsInteractive() { return isatty(STDIN_FILENO) && isatty(STDERR_FILENO); }

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

std::optional<std::string> AskLine(std::string_view prompt, bool hidden) {
  std::cerr << prompt << std::flush;
  termios saved{};
  const bool masked = hidden && tcgetattr(STDIN_FILENO, &saved) == 0;
  if (masked) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (masked) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << '\n';
  }
  if (!got) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace tarvex
