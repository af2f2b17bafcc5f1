#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include "platform/environment.h"
#include "platform/spawned_process.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;

int ExitStatus(int wait_status) {
  return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

void Close(int* fd) {
  if (*fd >= 0) ::close(*fd);
  *fd = -1;
}

// The two ends of a child's stream: `ours` stays here (non-blocking), `theirs`
// becomes the child's descriptor. Both close on exec.
struct Channel {
  int ours = -1;
  int theirs = -1;
  // A pipe carries output; input goes through a socket, written with
  // MSG_NOSIGNAL so that a child that stops reading raises no SIGPIPE here.
  bool Open(bool input) {
    int fds[2];
    const bool opened =
        input ? ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0 : ::pipe2(fds, O_CLOEXEC) == 0;
    if (!opened) return false;
    ours = fds[0];
    theirs = fds[1];
    ::fcntl(ours, F_SETFL, O_NONBLOCK);
    return true;
  }
  ~Channel() {
    Close(&ours);
    Close(&theirs);
  }
};

// Starts the program with the given child ends (-1: input from /dev/null,
// outputs where ours go or standard error into options.error_file).
// Returns 0 or the errno value.
int Spawn(const std::string& program, const std::vector<std::string>& args,
          const std::vector<std::string>& env, const Channel (&streams)[3], const SpawnOptions& options,
          pid_t* pid) {
  const ExecArrays exec(program, args, env);
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (streams[0].theirs < 0) posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  for (int fd = 0; fd < 3; ++fd) {
    if (streams[fd].theirs >= 0) posix_spawn_file_actions_adddup2(&actions, streams[fd].theirs, fd);
  }
  if (streams[2].theirs < 0 && !options.error_file.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, options.error_file.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
  }
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  sigset_t no_signals;
  sigemptyset(&no_signals);
  sigset_t every_signal;
  sigfillset(&every_signal);
  posix_spawnattr_setsigmask(&attributes, &no_signals);
  posix_spawnattr_setsigdefault(&attributes, &every_signal);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  const int failed = posix_spawnp(pid, program.c_str(), &actions, &attributes, exec.Argv(), exec.Envp());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return failed;
}

// Reads everything available from *fd into *into (keeping at most `limit`
// bytes); closes *fd once the writer has closed it.
void ReadAvailable(int* fd, std::string* into, std::size_t limit) {
  char buffer[16384];
  while (*fd >= 0) {
    const ssize_t n = ::read(*fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    if (n <= 0) {
      Close(fd);
      return;
    }
    const std::size_t room = limit > into->size() ? limit - into->size() : 0;
    into->append(buffer, std::min(room, static_cast<std::size_t>(n)));
  }
}

int ReapBlocking(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return ExitStatus(status);
}

}  // namespace

SpawnResult RunSpawned(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env, std::chrono::milliseconds limit,
                       const std::string& input, std::size_t max_output) {
  SpawnResult result;
  const auto deadline = Clock::now() + limit;
  SpawnOptions options = SpawnOptions::Captured(input);
  options.max_output = max_output;
  std::optional<SpawnedProcess> child = SpawnedProcess::Start(program, args, env, &result.error, options);
  if (!child) return result;
  result.started = true;
  std::optional<int> status = child->Wait(limit);
  if (!status) {
    result.timed_out = true;
    child->Signal(SIGKILL);
    status = child->Wait(std::chrono::hours(1));
  }
  result.status = status.value_or(-1);
  // What it wrote is all there once it ended, unless a program it started
  // holds its outputs open; what it did not read is dropped.
  Close(&child->in_fd_);
  const auto outputs_deadline = std::max(deadline, Clock::now() + std::chrono::seconds(1));
  while (Clock::now() < outputs_deadline && child->Pump(10)) continue;
  result.out = std::move(child->out_);
  result.err = std::move(child->err_);
  return result;
}

std::optional<SpawnedProcess> SpawnedProcess::Start(const std::string& program,
                                                    const std::vector<std::string>& args,
                                                    const std::vector<std::string>& env, int* error,
                                                    const SpawnOptions& options) {
  Channel streams[3];
  const bool opened = (options.input.empty() || streams[0].Open(true)) &&
                      (!options.capture || (streams[1].Open(false) && streams[2].Open(false)));
  pid_t pid = -1;
  const int failed = opened ? Spawn(program, args, env, streams, options, &pid) : errno;
  if (error != nullptr) *error = failed;
  if (failed != 0) return std::nullopt;
  SpawnedProcess child(pid);
  std::swap(child.in_fd_, streams[0].ours);
  std::swap(child.out_fd_, streams[1].ours);
  std::swap(child.err_fd_, streams[2].ours);
  child.input_ = options.input;
  child.max_output_ = options.max_output;
  return child;
}

SpawnedProcess::SpawnedProcess(SpawnedProcess&& other) noexcept : pid_(-1) { *this = std::move(other); }

SpawnedProcess& SpawnedProcess::operator=(SpawnedProcess&& other) noexcept {
  if (this == &other) return *this;
  if (pid_ > 0) Stop();
  CloseStreams();
  pid_ = std::exchange(other.pid_, -1);
  status_ = other.status_;
  in_fd_ = std::exchange(other.in_fd_, -1);
  out_fd_ = std::exchange(other.out_fd_, -1);
  err_fd_ = std::exchange(other.err_fd_, -1);
  input_ = std::move(other.input_);
  sent_ = other.sent_;
  max_output_ = other.max_output_;
  out_ = std::move(other.out_);
  err_ = std::move(other.err_);
  return *this;
}

long OwnProcessId() { return static_cast<long>(getpid()); }

SpawnedProcess::~SpawnedProcess() {
  if (pid_ > 0) Stop();
  CloseStreams();
}

void SpawnedProcess::CloseStreams() {
  Close(&in_fd_);
  Close(&out_fd_);
  Close(&err_fd_);
}

bool SpawnedProcess::Pump(int wait_ms) {
  pollfd fds[3] = {{in_fd_, POLLOUT, 0}, {out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (in_fd_ < 0 && out_fd_ < 0 && err_fd_ < 0) return false;
  if (::poll(fds, 3, wait_ms) <= 0) return true;
  while (in_fd_ >= 0 && fds[0].revents != 0) {
    const ssize_t n = ::send(in_fd_, input_.data() + sent_, input_.size() - sent_, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    // Written in full, or the child will take no more.
    if (n < 0 || (sent_ += static_cast<std::size_t>(n)) == input_.size()) Close(&in_fd_);
  }
  ReadAvailable(&out_fd_, &out_, max_output_);
  ReadAvailable(&err_fd_, &err_, max_output_);
  return true;
}

std::optional<int> SpawnedProcess::Poll() {
  Pump(0);
  if (pid_ <= 0 || status_) return status_;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = ExitStatus(status);
  return status_;
}

std::optional<int> SpawnedProcess::Wait(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!Poll()) {
    if (Clock::now() >= deadline) return std::nullopt;
    // Waits on the streams when there are any, so a child's output never fills a pipe.
    if (!Pump(10)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

void SpawnedProcess::Signal(int signal_number) {
  if (pid_ > 0 && !Poll()) ::kill(pid_, signal_number);
}

int SpawnedProcess::Stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0) return -1;
  if (!Poll()) {
    ::kill(pid_, SIGTERM);
    if (!Wait(grace)) {
      ::kill(pid_, SIGKILL);
      status_ = ReapBlocking(pid_);
    }
  }
  return *status_;
}

const std::string& SpawnedProcess::Output() {
  Pump(0);
  return out_;
}

const std::string& SpawnedProcess::Errors() {
  Pump(0);
  return err_;
}

void SpawnedProcess::CloseErrors() {
  Pump(0);
  Close(&err_fd_);
}

}  // namespace tarvex
