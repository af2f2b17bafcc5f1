#include <iostream>
#include <mutex>

#include "app/server_setup.h"
#include "app/tarvexd_commands.h"
#include "core/settings/server_settings.h"
#include "log/activity_log.h"
#include "log/log_line.h"
#include "log/server_log.h"
#include "platform/stop_signals.h"
#include "platform/terminal.h"

namespace tarvex {
namespace {

// Standard error as the echo of the logs. Once a write fails (standard error
// closed, or its reader gone) it stays silent; the server goes on.
struct EchoOutput {
  std::mutex mutex;
  bool silent = false;
};

// Echoes every record added to a log as one line on standard error.
void EchoLog(ActivityLog* log, std::string tag, EchoOutput* out) {
  if (log == nullptr) return;
  log->SetChangeCallback([tag = std::move(tag), out](const std::shared_ptr<const LogRecord>& added) {
    std::lock_guard<std::mutex> lock(out->mutex);
    if (out->silent) return;
    std::string line = FormatLine(*added);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    std::cerr << tag << ' ' << line << std::endl;
    out->silent = !std::cerr;
  });
}

}  // namespace

int RunServer(const TarvexdOptions& options) {
  // Blocks the stop signals before any thread exists, so only Wait sees them.
  StopSignals stop_signals;
  EchoOutput echo;

  ServerOptions server_options;
  server_options.listen_address = options.listen_address;
  Server server(server_options);
  if (!server.InitServer(DefaultServices())) {
    std::cerr << "tarvexd: the data directory can be neither read nor set\n";
    return 1;
  }
  EchoLog(&server.Log(), "[server]", &echo);
  for (int i = 0; i < server.ServiceCount(); ++i) {
    Service* service = server.GetService(i);
    EchoLog(service->GetServiceLog(), "[" + service->GetServiceName() + "]", &echo);
  }

  if (!server.Settings().IsComplete()) {
    if (!IsInteractive()) {
      std::cerr << "tarvexd: Tarvex Server is not configured yet. Configure it with\n"
                   "  echo PASSWORD | tarvexd configure --port 9300 --login NAME --password-stdin\n"
                   "or run tarvexd on a terminal to be asked.\n";
      return 2;
    }
    server.SetFirstRunHandler([](ServerSettings& settings) {
      StopSignals::Released interruptible;
      std::cerr << "Tarvex Server is not configured yet. Each handheld that connects must\n"
                   "supply this login name and password.\n";
      AskServerSettings(settings);
    });
  }
  if (!server.StartServer()) {
    if (!server.Settings().IsComplete()) {
      std::cerr << "tarvexd: Tarvex Server is not configured\n";
      return 2;
    }
    std::cerr << "tarvexd: the server could not start\n";
    return 1;
  }
  stop_signals.Wait();
  server.StopServer();
  return 0;
}

}  // namespace tarvex
