#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/child_process.h"
#include "platform/environment.h"

namespace tarvex {
namespace {

void ReadAvailable(int fd, std::string* into) {
  if (fd < 0) return;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return;
    into->append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& env, const std::string& input) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return;
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) return;

  // Everything the child needs is built before fork.
  const ExecArrays exec(program, args, env);

  pid_ = fork();
  if (pid_ == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    execve(program.c_str(), exec.Argv(), exec.Envp());
    _exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
  fcntl(out_fd_, F_SETFL, O_NONBLOCK);
  fcntl(err_fd_, F_SETFL, O_NONBLOCK);
  if (pid_ > 0 && !input.empty()) {
    signal(SIGPIPE, SIG_IGN);
    std::size_t done = 0;
    while (done < input.size()) {
      ssize_t n = ::write(in_pipe[1], input.data() + done, input.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  }
  ::close(in_pipe[1]);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, SIGKILL);
    Wait(std::chrono::seconds(5));
  }
  if (out_fd_ >= 0) ::close(out_fd_);
  if (err_fd_ >= 0) ::close(err_fd_);
}

void ChildProcess::Signal(int signal_number) {
  if (pid_ > 0 && !status_) ::kill(pid_, signal_number);
}

void ChildProcess::Drain() {
  ReadAvailable(out_fd_, &out_);
  ReadAvailable(err_fd_, &err_);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!status_) {
    Drain();
    int status = 0;
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Drain();
  return status_;
}

const std::string& ChildProcess::Output() {
  Drain();
  return out_;
}

const std::string& ChildProcess::Errors() {
  Drain();
  return err_;
}

void ChildProcess::CloseErrors() {
  Drain();
  if (err_fd_ >= 0) ::close(err_fd_);
  err_fd_ = -1;
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& input,
                         std::chrono::milliseconds limit) {
  ChildProcess child(program, args, env, input);
  ProgramResult result;
  std::optional<int> status = child.Wait(limit);
  result.status = status.value_or(-1);
  result.out = child.Output();
  result.err = child.Errors();
  return result;
}

}  // namespace tarvex
