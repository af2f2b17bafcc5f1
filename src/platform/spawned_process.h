// Programs the system runs (the search engine's indexer and query tool, the
// search engine beside the desktop window, and the programs under test),
// started from an argument list: never through a shell, so no argument is
// ever interpreted. A program named without a folder is looked up in PATH.
// On Linux through posix_spawn; on Windows through CreateProcessW, the
// arguments quoted into a command line that the C runtime splits back into
// the same list, and the child (with whatever it starts) in a job that ends
// when this process does.
//
// A child starts with none of this process's descriptors or handles beyond
// its standard streams; on Linux also with an empty signal mask and the
// default action for every signal, whatever this process blocks or ignores.
// `env` entries ("NAME=value") are added to, or replace entries of, the
// current environment (environment.h). Nothing here changes a signal
// disposition of this process: on Linux input goes to the child through a
// socket written with MSG_NOSIGNAL, so a child that stops reading never
// raises SIGPIPE here.
//
// Signals on Windows: SIGTERM and SIGINT reach a child that shares this
// process's console as a Ctrl-Break event (a program that handles it stops in
// order; one that does not ends with status 128 + the signal's number). Any
// other signal, or a child without the console, ends the child and every
// program it started with status 128 + the signal's number.
//
// Both facilities are safe for concurrent use from several threads.
#pragma once

#include <chrono>
#include <csignal>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarvex {

// How a child's standard streams are connected.
struct SpawnOptions {
  // Written to the child's standard input, which is closed after it (or at
  // once when empty, as /dev/null).
  std::string input;
  // Both outputs kept by the SpawnedProcess (see Output, Errors) instead of
  // going where this process's go; bytes beyond max_output per stream are
  // read and dropped.
  bool capture = false;
  std::size_t max_output = std::size_t{16} << 20;
  // Without capture: standard error appended to this file (made with mode
  // 0600 on Linux when missing) instead of going to ours.
  std::string error_file;

  static SpawnOptions Captured(std::string input = {}) {
    SpawnOptions options;
    options.input = std::move(input);
    options.capture = true;
    return options;
  }
  static SpawnOptions ErrorsTo(std::string file) {
    SpawnOptions options;
    options.error_file = std::move(file);
    return options;
  }
};

struct SpawnResult {
  bool started = false;    // false: the program could not be started (see error)
  bool timed_out = false;  // still running at the limit, so it was killed
  int status = -1;         // exit status; 128 + signal number when a signal ended it
  int error = 0;           // errno (GetLastError() on Windows) when it did not start
  std::string out;         // standard output, at most max_output bytes
  std::string err;         // standard error, at most max_output bytes
};

// This process's id, as its children know their parent.
long OwnProcessId();

// Runs a program to its end, feeding it `input` and collecting both outputs
// (bytes beyond `max_output` per stream are read and dropped); however much
// it writes, it never waits on us. A program still running after `limit` is
// killed with SIGKILL (on Windows ended with status 128 + 9, as are the
// programs it started); it is always reaped before return.
SpawnResult RunSpawned(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env, std::chrono::milliseconds limit,
                       const std::string& input = "", std::size_t max_output = std::size_t{16} << 20);

// SpawnedProcess: a running child. Destroying the object stops the child
// (Stop with the default grace). One object is used by one thread at a time.
// With captured outputs, every call moves what the child has written so far
// into the object and writes what input the child will take; a child that
// writes more than a pipe holds between two calls waits for the next one.
class SpawnedProcess {
 public:
  // The started child, or none (with *error set to the errno value, the
  // GetLastError() value on Windows).
  static std::optional<SpawnedProcess> Start(const std::string& program, const std::vector<std::string>& args,
                                             const std::vector<std::string>& env, int* error = nullptr,
                                             const SpawnOptions& options = {});
  ~SpawnedProcess();
  SpawnedProcess(SpawnedProcess&& other) noexcept;
  // Stops this object's child first.
  SpawnedProcess& operator=(SpawnedProcess&& other) noexcept;
  SpawnedProcess(const SpawnedProcess&) = delete;
  SpawnedProcess& operator=(const SpawnedProcess&) = delete;

  // The child's process id.
  long Pid() const;
  // The exit status once the child has ended (reaped without blocking);
  // none while it runs.
  std::optional<int> Poll();
  // Waits up to `limit` for the end; the exit status, or none.
  std::optional<int> Wait(std::chrono::milliseconds limit);
  // Sends a signal to a child that has not been reaped.
  void Signal(int signal_number = SIGTERM);
  // SIGTERM, up to `grace` for the end, then SIGKILL (on Windows: ended with
  // status 128 + 9); the exit status.
  int Stop(std::chrono::milliseconds grace = std::chrono::seconds(10));

  // The captured outputs so far (empty without capture).
  const std::string& Output();
  const std::string& Errors();
  // Stops reading the child's standard error and closes this end of it, as
  // a reader that goes away does: the child's next write there fails.
  void CloseErrors();

 private:
  friend SpawnResult RunSpawned(const std::string&, const std::vector<std::string>&,
                                const std::vector<std::string>&, std::chrono::milliseconds,
                                const std::string&, std::size_t);
  // The child and this process's ends of its streams, per platform; each
  // platform's file defines it and how it is destroyed, so that the moves
  // and the destructor here are shared.
  struct Native;
  struct NativeDeleter {
    void operator()(Native* native) const;
  };
  using NativePtr = std::unique_ptr<Native, NativeDeleter>;
  explicit SpawnedProcess(NativePtr native);
  // Moves what is ready between the child's streams and the object, waiting
  // up to `wait_ms` for anything to be ready; false once no stream is left.
  bool Pump(int wait_ms);
  // Ends the child at once (SIGKILL; on Windows with the programs it started).
  void Kill();
  // Waits for the end of a child that Kill has ended and keeps its status.
  void ReapKilled();
  // Stops writing input; what the child has not read is dropped.
  void EndInput();

  NativePtr native_;  // none once moved from
  std::optional<int> status_;
  std::size_t max_output_ = 0;
  std::string out_;
  std::string err_;
};

}  // namespace tarvex
