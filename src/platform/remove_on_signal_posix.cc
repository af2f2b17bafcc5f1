// SPDX-License-Identifier: GPL-3.0-or-later
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "platform/remove_on_signal.h"

namespace tarvex {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler can reach nothing but static storage; unlink and _exit
// are safe to call from it.
char g_path[4096];
struct sigaction g_previous[3];

extern "C" void RemoveAndExit(int signal_number) {
  if (g_path[0] != '\0') ::unlink(g_path);
  ::_exit(128 + signal_number);
}

}  // namespace

RemoveOnSignal::RemoveOnSignal(const std::string& path) {
  if (path.size() < sizeof g_path) {
    std::memcpy(g_path, path.c_str(), path.size() + 1);
  } else {
    g_path[0] = '\0';
  }
  struct sigaction action {};
  action.sa_handler = RemoveAndExit;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals) sigaddset(&action.sa_mask, s);
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
}

RemoveOnSignal::~RemoveOnSignal() {
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  g_path[0] = '\0';
}

}  // namespace tarvex
