#include "searchengine/index_keeper.h"

#include <algorithm>
#include <cerrno>
#include <vector>
#include <filesystem>
#include <optional>

#include "common/count_of.h"
#include "platform/file_info.h"
#include "platform/spawned_process.h"
#include "platform/text_line_reader.h"
#include "searchengine/engine_log.h"

namespace tarvex {
namespace {


// util-linux's setpriv sets the parent-death signal and runs the program.
constexpr char kLauncher[] = "setpriv";
constexpr auto kPollInterval = std::chrono::seconds(2);
constexpr auto kProgressInterval = std::chrono::seconds(15);
// recollindex only notes a SIGTERM that comes while it starts up and may go
// on for many seconds; the engine must end well within the grace its own
// parent gives it.
constexpr auto kMonitorGrace = std::chrono::seconds(3);

// The monitor's phases, as its status file numbers them.
constexpr int kPhaseFiles = 1;
constexpr int kPhaseMonitoring = 6;

struct IndexStatus {
  int phase = -1;
  long docs_done = 0;
  long files_done = 0;
};

// Lines "key = value" of the monitor's status file; none while there is none.
std::optional<IndexStatus> ReadIndexStatus(const std::string& path) {
  TextLineReader reader(path, kNoLineLimit);
  if (!reader.IsOpen()) return std::nullopt;
  IndexStatus status;
  std::string line;
  while (reader.ReadLine(&line)) {
    const std::size_t equals = line.find(" = ");
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const long value = std::strtol(line.c_str() + equals + 3, nullptr, 10);
    if (key == "phase") status.phase = static_cast<int>(value);
    if (key == "docsdone") status.docs_done = value;
    if (key == "filesdone") status.files_done = value;
  }
  return status;
}

}  // namespace

IndexKeeper::~IndexKeeper() {
  stop_.Set();
  if (thread_.joinable()) thread_.join();
}

void IndexKeeper::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Keep(); });
}

void IndexKeeper::Keep() {
  const std::string status_file = options_.config_dir + "/idxstatus.txt";
  std::error_code ignored;
  const bool first_index = !std::filesystem::exists(options_.config_dir + "/xapiandb", ignored);
  if (!first_index && stop_.Wait(options_.start_delay)) return;
  if (first_index) EngineLog("Building the index for the first time; searches find more as it grows");
  bool warned_launcher = false;

  const std::string messages = options_.config_dir + "/recollindex.log";
  while (!stop_.IsSet()) {
    std::filesystem::remove(status_file, ignored);  // a stale one would report a finished pass
    const std::vector<std::string> args = {"-c", options_.config_dir, "-m", "-x", "-D", "-w", "0"};
    int error = 0;
    // The monitor's messages go to a file of their own: on every stop it
    // says "got signal", which is no news on the engine's standard error.
    // The monitor runs under a launcher that has the kernel kill it when its
    // parent (this thread) ends, however the engine ends: a monitor left
    // behind would hold the index lock against the next engine.
    std::vector<std::string> launched = {"--pdeathsig", "KILL", "--", options_.program};
    launched.insert(launched.end(), args.begin(), args.end());
    auto start = [&]() -> std::optional<SpawnedProcess> {
      std::optional<SpawnedProcess> launched_monitor =
          SpawnedProcess::Start(kLauncher, launched, {}, &error, SpawnOptions::ErrorsTo(messages));
      if (launched_monitor || error != ENOENT) return launched_monitor;
      if (!warned_launcher) {
        EngineLog(std::string(kLauncher) + " is missing: " + options_.program +
                  " may outlive tarvex-search if it is killed");
        warned_launcher = true;
      }
      return SpawnedProcess::Start(options_.program, args, {}, &error, SpawnOptions::ErrorsTo(messages));
    };
    std::optional<SpawnedProcess> monitor = start();
    if (!monitor) {
      EngineLog("Cannot start " + options_.program + ": " + SystemErrorText(error));
    } else {
      bool ready = false;
      long documents = 0;
      auto last_report = std::chrono::steady_clock::now();
      while (!monitor->Poll()) {
        if (stop_.Wait(kPollInterval)) {
          monitor->Stop(kMonitorGrace);
          return;
        }
        const std::optional<IndexStatus> status = ReadIndexStatus(status_file);
        if (!status || ready) continue;
        documents = std::max(documents, status->docs_done);
        const auto now = std::chrono::steady_clock::now();
        if (status->phase == kPhaseFiles && now - last_report >= kProgressInterval) {
          EngineLog("Indexing: " + CountOf(status->files_done, "file", "files") + " looked at, " +
                    CountOf(documents, "document", "documents") + " indexed");
          last_report = now;
        } else if (status->phase == kPhaseMonitoring) {
          EngineLog("The index is up to date" +
                    (documents > 0 ? " (" + CountOf(documents, "document", "documents") + " indexed)" : std::string()) +
                    "; following changes");
          ready = true;
        }
      }
      const long long restart = options_.restart_delay.count();
      const int status = *monitor->Poll();
      // The launcher answers 127 when the monitor itself could not start.
      EngineLog((status == 127 ? "Cannot start " + options_.program + " (status 127)"
                               : options_.program + " ended (status " + std::to_string(status) + ")") +
                (ready ? "" : " before the index was up to date") + "; it starts again in " +
                std::to_string(restart) + " s; its messages are in " + messages);
    }
    if (stop_.Wait(options_.restart_delay)) return;
  }
}

}  // namespace tarvex
