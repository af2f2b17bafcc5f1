#include <windows.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/environment.h"
#include "platform/file_handle_win32.h"
#include "platform/spawned_process.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kKillSignal = 9;  // SIGKILL's number; Windows has no such signal

// Appends one argument so that the C runtime's splitting of the command line
// gives it back unchanged: quoted when it is empty or holds a blank or a
// quote; a quote and the backslashes before it, or before the closing
// quote, are escaped with backslashes.
void AppendArgument(std::wstring& line, const std::wstring& argument) {
  line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

// The program's name is split without backslash escapes: it is quoted whole
// (a Windows file name holds no quote).
std::wstring CommandLine(const std::string& program, const std::vector<std::string>& args) {
  std::wstring line = L"\"" + ToWide(program) + L"\"";
  for (const std::string& argument : args) AppendArgument(line, ToWide(argument));
  return line;
}

std::wstring_view NameOf(std::wstring_view entry) {
  return entry.substr(0, entry.find(L'=', entry.empty() ? 0 : 1));
}

// The merged environment as CreateProcessW takes it: UTF-16 entries, each
// ending in a zero, sorted by name regardless of case as Windows keeps them,
// and one more zero.
std::wstring EnvironmentBlock(const std::vector<std::string>& env) {
  std::vector<std::wstring> entries;
  for (const std::string& entry : MergedEnvironment(env)) entries.push_back(ToWide(entry));
  std::stable_sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
    const std::wstring_view x = NameOf(a);
    const std::wstring_view y = NameOf(b);
    return CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(), static_cast<int>(y.size()),
                                TRUE) == CSTR_LESS_THAN;
  });
  std::wstring block;
  for (const std::wstring& entry : entries) {
    block += entry;
    block += L'\0';
  }
  if (entries.empty()) block += L'\0';
  block += L'\0';
  return block;
}

// A pipe: `ours` stays here, `theirs` (inheritable) becomes the child's stream.
bool OpenPipe(bool child_reads, UniqueHandle* ours, UniqueHandle* theirs) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, nullptr, 1 << 16)) return false;
  UniqueHandle read(read_end);
  UniqueHandle write(write_end);
  *ours = std::move(child_reads ? write : read);
  *theirs = std::move(child_reads ? read : write);
  return SetHandleInformation(theirs->Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) != 0;
}

UniqueHandle OpenInheritable(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return UniqueHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// One of this process's standard streams for the child (the null device
// when there is none).
UniqueHandle InheritedStandard(DWORD which) {
  HANDLE copy = nullptr;
  const HANDLE own = GetStdHandle(which);
  if (own != nullptr && own != INVALID_HANDLE_VALUE &&
      DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
    return UniqueHandle(copy);
  }
  return OpenInheritable(L"NUL", GENERIC_WRITE, OPEN_EXISTING);
}

// Writes the input to the child on a thread of its own, so that no call
// here ever waits for the child to read; ends when all is written or the
// child will take no more (it ended, or closed its input).
void FeedInput(UniqueHandle pipe, std::string input) {
  std::size_t sent = 0;
  while (sent < input.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(input.size() - sent, 1 << 16));
    if (!WriteFile(pipe.Get(), input.data() + sent, chunk, &n, nullptr)) return;
    sent += n;
  }
}

// Moves what the pipe holds into *into (keeping at most `limit` bytes)
// without waiting; closes the pipe once the child's end is closed and all it
// wrote has been read. True when anything happened.
bool ReadAvailable(UniqueHandle* pipe, std::string* into, std::size_t limit) {
  bool moved = false;
  char buffer[16384];
  while (pipe->IsValid()) {
    DWORD ready = 0;
    const bool open = PeekNamedPipe(pipe->Get(), nullptr, 0, nullptr, &ready, nullptr) != 0;
    if (open && ready == 0) return moved;
    // Once the writer is gone a read no longer waits: it gives what is
    // left, then fails.
    const DWORD wanted = open ? std::min<DWORD>(ready, sizeof buffer) : sizeof buffer;
    DWORD n = 0;
    moved = true;
    if (!ReadFile(pipe->Get(), buffer, wanted, &n, nullptr) || n == 0) {
      pipe->Reset();
      return true;
    }
    const std::size_t room = limit > into->size() ? limit - into->size() : 0;
    into->append(buffer, std::min<std::size_t>(room, n));
  }
  return moved;
}

}  // namespace

struct SpawnedProcess::Native {
  UniqueHandle process;
  UniqueHandle job;  // none where the child could not be put in one
  DWORD id = 0;
  int signalled = 0;  // the last signal sent
  UniqueHandle out;
  UniqueHandle err;
};

std::optional<SpawnedProcess> SpawnedProcess::Start(const std::string& program,
                                                    const std::vector<std::string>& args,
                                                    const std::vector<std::string>& env, int* error,
                                                    const SpawnOptions& options) {
  const auto fail = [error](DWORD code) {
    if (error != nullptr) *error = static_cast<int>(code);
    return std::nullopt;
  };
  UniqueHandle input;
  UniqueHandle child_streams[3];
  NativePtr native(new Native());
  if (options.input.empty()) {
    child_streams[0] = OpenInheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  } else if (!OpenPipe(true, &input, &child_streams[0])) {
    return fail(GetLastError());
  }
  if (options.capture) {
    if (!OpenPipe(false, &native->out, &child_streams[1]) || !OpenPipe(false, &native->err, &child_streams[2])) {
      return fail(GetLastError());
    }
  } else {
    child_streams[1] = InheritedStandard(STD_OUTPUT_HANDLE);
    child_streams[2] = options.error_file.empty()
                           ? InheritedStandard(STD_ERROR_HANDLE)
                           : OpenInheritable(ToWide(options.error_file), FILE_APPEND_DATA, OPEN_ALWAYS);
  }
  if (!child_streams[0].IsValid() || !child_streams[1].IsValid() || !child_streams[2].IsValid()) {
    return fail(GetLastError());
  }

  // The child inherits its three streams and nothing else, even while other
  // threads start children of their own.
  HANDLE inherited[3] = {child_streams[0].Get(), child_streams[1].Get(), child_streams[2].Get()};
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> attributes(size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return fail(GetLastError());
  const bool listed = UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                sizeof inherited, nullptr, nullptr) != 0;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = inherited[0];
  startup.StartupInfo.hStdOutput = inherited[1];
  startup.StartupInfo.hStdError = inherited[2];
  startup.lpAttributeList = listed ? list : nullptr;

  std::wstring command = CommandLine(program, args);
  std::wstring environment = EnvironmentBlock(env);
  PROCESS_INFORMATION created{};
  // Suspended until it is in the job, so that nothing it starts escapes it;
  // a process group of its own, so that a Ctrl-Break reaches it alone.
  const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP |
                      (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, flags, environment.data(),
                                      nullptr, &startup.StartupInfo, &created);
  const DWORD start_error = GetLastError();
  DeleteProcThreadAttributeList(list);
  if (!started) return fail(start_error);
  native->process = UniqueHandle(created.hProcess);
  const UniqueHandle thread(created.hThread);
  native->id = created.dwProcessId;

  native->job = UniqueHandle(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!native->job.IsValid() ||
      !SetInformationJobObject(native->job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
      !AssignProcessToJobObject(native->job.Get(), native->process.Get())) {
    native->job.Reset();  // a system that cannot nest jobs: the child alone is ended
  }
  if (input.IsValid()) {
    try {
      std::thread(FeedInput, std::move(input), options.input).detach();
    } catch (const std::system_error&) {
      TerminateProcess(native->process.Get(), 128 + kKillSignal);
      return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
  }
  ResumeThread(thread.Get());
  if (error != nullptr) *error = 0;
  SpawnedProcess child(std::move(native));
  child.max_output_ = options.max_output;
  return child;
}

void SpawnedProcess::NativeDeleter::operator()(Native* native) const { delete native; }

long OwnProcessId() { return static_cast<long>(GetCurrentProcessId()); }

long SpawnedProcess::Pid() const { return native_ ? static_cast<long>(native_->id) : -1; }

bool SpawnedProcess::Pump(int wait_ms) {
  if (!native_ || (!native_->out.IsValid() && !native_->err.IsValid())) return false;
  const bool out_moved = ReadAvailable(&native_->out, &out_, max_output_);
  const bool err_moved = ReadAvailable(&native_->err, &err_, max_output_);
  // Anonymous pipes cannot be waited on: look again shortly.
  if (!out_moved && !err_moved && wait_ms > 0) Sleep(static_cast<DWORD>(std::min(wait_ms, 10)));
  return true;
}

std::optional<int> SpawnedProcess::Poll() {
  Pump(0);
  if (!native_ || status_) return status_;
  DWORD code = 0;
  if (WaitForSingleObject(native_->process.Get(), 0) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(native_->process.Get(), &code)) {
    return status_;
  }
  // A Ctrl-Break that the program left to the system's handler.
  if (code == static_cast<DWORD>(STATUS_CONTROL_C_EXIT)) {
    status_ = 128 + (native_->signalled != 0 ? native_->signalled : SIGINT);
  } else {
    status_ = static_cast<int>(code);
  }
  return status_;
}

std::optional<int> SpawnedProcess::Wait(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!Poll()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (!native_ || left <= 0) return std::nullopt;
    // Looks at the outputs every few milliseconds, so a child's output never fills a pipe.
    if (!Pump(10)) WaitForSingleObject(native_->process.Get(), static_cast<DWORD>(std::min<long long>(left, 100)));
  }
  return status_;
}

void SpawnedProcess::Signal(int signal_number) {
  if (!native_ || Poll()) return;
  native_->signalled = signal_number;
  if ((signal_number == SIGTERM || signal_number == SIGINT) &&
      GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, native_->id)) {
    return;
  }
  const UINT status = static_cast<UINT>(128 + signal_number);
  if (!native_->job.IsValid() || !TerminateJobObject(native_->job.Get(), status)) {
    TerminateProcess(native_->process.Get(), status);
  }
}

void SpawnedProcess::Kill() { Signal(kKillSignal); }

void SpawnedProcess::ReapKilled() {
  if (!native_ || status_) return;
  WaitForSingleObject(native_->process.Get(), INFINITE);
  Poll();
}

void SpawnedProcess::EndInput() {
  // The feeding thread stops by itself once the child has ended.
}

void SpawnedProcess::CloseErrors() {
  Pump(0);
  if (native_) native_->err.Reset();
}

}  // namespace tarvex
