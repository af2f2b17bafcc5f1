#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/stop_signals.h"

namespace tarvex {
namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

StopSignals::StopSignals() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, nullptr);
  sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::~StopSignals() {
  sigset_t set = StopSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

StopSignals::Released::Released() {
  sigset_t set = StopSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

StopSignals::Released::~Released() {
  sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::Pending::Pending() {
  sigset_t set = StopSet();
  fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

StopSignals::Pending::~Pending() {
  if (fd_ >= 0) ::close(fd_);
}

int StopSignals::Pending::Take() {
  signalfd_siginfo info {};
  const ssize_t got = fd_ < 0 ? -1 : ::read(fd_, &info, sizeof info);
  return got == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo) : 0;
}

bool StopSignals::StopWithParent(long parent_pid) {
  if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) return false;
  // The parent may have ended before the request was made.
  return static_cast<long>(getppid()) == parent_pid;
}

bool StopSignals::RequestStop(long pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGTERM) == 0; }

int StopSignals::Wait() {
  sigset_t set = StopSet();
  int signal_number = 0;
  while (sigwait(&set, &signal_number) != 0) {
  }
  return signal_number;
}

int StopSignals::WaitFor(std::chrono::milliseconds limit) {
  const sigset_t set = StopSet();
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::max(std::chrono::nanoseconds(0), deadline - std::chrono::steady_clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    timespec wait{};
    wait.tv_sec = static_cast<time_t>(seconds.count());
    wait.tv_nsec = static_cast<long>((left - seconds).count());
    const int signal_number = sigtimedwait(&set, nullptr, &wait);
    if (signal_number > 0) return signal_number;
    if (errno != EINTR) return 0;  // EAGAIN: the time is up
  }
}

}  // namespace tarvex
