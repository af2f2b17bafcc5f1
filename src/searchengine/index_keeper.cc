#include "searchengine/index_keeper.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "common/count_of.h"
#include "platform/file_info.h"
#include "platform/spawned_process.h"
#include "searchengine/engine_log.h"

namespace tarvex {
namespace {


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
  std::ifstream in(path);
  if (!in.is_open()) return std::nullopt;
  IndexStatus status;
  std::string line;
  while (std::getline(in, line)) {
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

  const std::string messages = options_.config_dir + "/recollindex.log";
  while (!stop_.IsSet()) {
    std::filesystem::remove(status_file, ignored);  // a stale one would report a finished pass
    int error = 0;
    // The monitor's messages go to a file of their own: on every stop it
    // says "got signal", which is no news on the engine's standard error.
    std::optional<SpawnedProcess> monitor = SpawnedProcess::Start(
        options_.program, {"-c", options_.config_dir, "-m", "-x", "-D", "-w", "0"}, {}, &error, messages);
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
      EngineLog(options_.program + " ended (status " + std::to_string(*monitor->Poll()) +
                "); it starts again in " + std::to_string(restart) + " s; its messages are in " + messages);
    }
    if (stop_.Wait(options_.restart_delay)) return;
  }
}

}  // namespace tarvex
