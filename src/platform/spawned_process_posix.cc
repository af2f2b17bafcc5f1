#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/environment.h"
#include "platform/spawned_process.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;

int ExitStatus(int wait_status) {
  return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

// A pipe whose ends close on exec; the child gets its write end through dup2.
struct Pipe {
  int read = -1;
  int write = -1;
  bool Open() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    read = fds[0];
    write = fds[1];
    return true;
  }
  void CloseRead() {
    if (read >= 0) ::close(read);
    read = -1;
  }
  void CloseWrite() {
    if (write >= 0) ::close(write);
    write = -1;
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
};

// Starts the program; the outputs go to the pipes' write ends when given.
// Returns 0 or the errno value.
int Spawn(const std::string& program, const std::vector<std::string>& args,
          const std::vector<std::string>& env, const Pipe* out, const Pipe* err, pid_t* pid,
          const std::string& error_file = "") {
  const ExecArrays exec(program, args, env);
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out != nullptr) posix_spawn_file_actions_adddup2(&actions, out->write, 1);
  if (err != nullptr) posix_spawn_file_actions_adddup2(&actions, err->write, 2);
  if (err == nullptr && !error_file.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, error_file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  }
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  sigset_t no_signals;
  sigemptyset(&no_signals);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int s : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attributes, &no_signals);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  const int failed = posix_spawnp(pid, program.c_str(), &actions, &attributes, exec.Argv(), exec.Envp());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return failed;
}

// Reads what is available from fd into *into (keeping at most `limit`
// bytes); false once the writer has closed it.
bool ReadSome(int fd, std::string* into, std::size_t limit) {
  char buffer[16384];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n < 0) return errno == EINTR || errno == EAGAIN;
  if (n == 0) return false;
  const std::size_t room = limit > into->size() ? limit - into->size() : 0;
  into->append(buffer, std::min(room, static_cast<std::size_t>(n)));
  return true;
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
                       std::size_t max_output) {
  SpawnResult result;
  Pipe out, err;
  if (!out.Open() || !err.Open()) {
    result.error = errno;
    return result;
  }
  pid_t pid = -1;
  result.error = Spawn(program, args, env, &out, &err, &pid);
  out.CloseWrite();
  err.CloseWrite();
  if (result.error != 0) return result;
  result.started = true;

  const auto deadline = Clock::now() + limit;
  while (out.read >= 0 || err.read >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      break;
    }
    pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    if (fds[0].revents != 0 && !ReadSome(out.read, &result.out, max_output)) out.CloseRead();
    if (fds[1].revents != 0 && !ReadSome(err.read, &result.err, max_output)) err.CloseRead();
  }
  if (result.timed_out || out.read >= 0 || err.read >= 0) {
    // Its outputs are not closed: it still runs (or left a child holding them).
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      result.status = ExitStatus(status);
      return result;
    }
    result.timed_out = true;
    ::kill(pid, SIGKILL);
  }
  result.status = ReapBlocking(pid);
  return result;
}

std::optional<SpawnedProcess> SpawnedProcess::Start(const std::string& program,
                                                    const std::vector<std::string>& args,
                                                    const std::vector<std::string>& env,
                                                    int* error, const std::string& error_file) {
  pid_t pid = -1;
  const int failed = Spawn(program, args, env, nullptr, nullptr, &pid, error_file);
  if (error != nullptr) *error = failed;
  if (failed != 0) return std::nullopt;
  return SpawnedProcess(pid);
}

SpawnedProcess::SpawnedProcess(SpawnedProcess&& other) noexcept
    : pid_(other.pid_), status_(other.status_) {
  other.pid_ = -1;
}

long OwnProcessId() { return static_cast<long>(getpid()); }

SpawnedProcess::~SpawnedProcess() {
  if (pid_ > 0) Stop();
}

std::optional<int> SpawnedProcess::Poll() {
  if (pid_ <= 0 || status_) return status_;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = ExitStatus(status);
  return status_;
}

std::optional<int> SpawnedProcess::Wait(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!Poll()) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
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

}  // namespace tarvex
