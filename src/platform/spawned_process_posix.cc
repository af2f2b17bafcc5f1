#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
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

// The argument and environment arrays posix_spawn takes: the program, then
// `args`; the merged environment. Valid while the object lives.
class ExecArrays {
 public:
  ExecArrays(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& env) {
    strings_.push_back(program);
    strings_.insert(strings_.end(), args.begin(), args.end());
    const std::size_t arguments = strings_.size();
    std::vector<std::string> environment = MergedEnvironment(env);
    strings_.insert(strings_.end(), environment.begin(), environment.end());
    for (std::size_t i = 0; i < strings_.size(); ++i) {
      (i < arguments ? argv_ : envp_).push_back(strings_[i].data());
    }
    argv_.push_back(nullptr);
    envp_.push_back(nullptr);
  }
  ExecArrays(const ExecArrays&) = delete;
  ExecArrays& operator=(const ExecArrays&) = delete;

  char* const* Argv() const { return argv_.data(); }
  char* const* Envp() const { return envp_.data(); }

 private:
  std::vector<std::string> strings_;  // arguments, then environment entries
  std::vector<char*> argv_;
  std::vector<char*> envp_;
};

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

struct SpawnedProcess::Native {
  pid_t pid = -1;
  int in_fd = -1;
  int out_fd = -1;
  int err_fd = -1;
  std::string input;
  std::size_t sent = 0;

  ~Native() {
    Close(&in_fd);
    Close(&out_fd);
    Close(&err_fd);
  }
};

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
  NativePtr native(new Native());
  native->pid = pid;
  std::swap(native->in_fd, streams[0].ours);
  std::swap(native->out_fd, streams[1].ours);
  std::swap(native->err_fd, streams[2].ours);
  native->input = options.input;
  SpawnedProcess child(std::move(native));
  child.max_output_ = options.max_output;
  return child;
}

void SpawnedProcess::NativeDeleter::operator()(Native* native) const { delete native; }

long OwnProcessId() { return static_cast<long>(getpid()); }

long SpawnedProcess::Pid() const { return native_ ? static_cast<long>(native_->pid) : -1; }

bool SpawnedProcess::Pump(int wait_ms) {
  if (!native_) return false;
  Native& n = *native_;
  pollfd fds[3] = {{n.in_fd, POLLOUT, 0}, {n.out_fd, POLLIN, 0}, {n.err_fd, POLLIN, 0}};
  if (n.in_fd < 0 && n.out_fd < 0 && n.err_fd < 0) return false;
  if (::poll(fds, 3, wait_ms) <= 0) return true;
  while (n.in_fd >= 0 && fds[0].revents != 0) {
    const ssize_t sent = ::send(n.in_fd, n.input.data() + n.sent, n.input.size() - n.sent, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && errno == EAGAIN) break;
    // Written in full, or the child will take no more.
    if (sent < 0 || (n.sent += static_cast<std::size_t>(sent)) == n.input.size()) Close(&n.in_fd);
  }
  ReadAvailable(&n.out_fd, &out_, max_output_);
  ReadAvailable(&n.err_fd, &err_, max_output_);
  return true;
}

std::optional<int> SpawnedProcess::Poll() {
  Pump(0);
  if (!native_ || status_) return status_;
  int status = 0;
  if (::waitpid(native_->pid, &status, WNOHANG) == native_->pid) status_ = ExitStatus(status);
  return status_;
}

std::optional<int> SpawnedProcess::Wait(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!Poll()) {
    if (!native_ || Clock::now() >= deadline) return std::nullopt;
    // Waits on the streams when there are any, so a child's output never fills a pipe.
    if (!Pump(10)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

void SpawnedProcess::Signal(int signal_number) {
  if (native_ && !Poll()) ::kill(native_->pid, signal_number);
}

void SpawnedProcess::Kill() {
  if (native_ && !Poll()) ::kill(native_->pid, SIGKILL);
}

void SpawnedProcess::ReapKilled() {
  if (native_ && !status_) status_ = ReapBlocking(native_->pid);
}

void SpawnedProcess::EndInput() {
  if (native_) Close(&native_->in_fd);
}

void SpawnedProcess::CloseErrors() {
  Pump(0);
  if (native_) Close(&native_->err_fd);
}

}  // namespace tarvex
