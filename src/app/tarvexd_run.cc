#include <cstdlib>
#include <iostream>
#include <mutex>

#include "app/control_server.h"
#include "app/log_echo.h"
#include "app/server_setup.h"
#include "app/server_status.h"
#include "app/tarvexd_commands.h"
#include "core/settings/server_settings.h"
#include "log/activity_log.h"
#include "log/server_log.h"
#include "platform/file_info.h"
#include "platform/network_addresses.h"
#include "platform/stop_signals.h"
#include "platform/terminal.h"

namespace tarvex {
namespace {

// Standard error as the echo of the logs and the server's own lines. Under
// systemd (JOURNAL_STREAM set) each line carries its syslog priority. Once a
// write fails (standard error closed, or its reader gone) it stays silent;
// the server goes on.
class EchoOutput {
 public:
  EchoOutput() : journal_(std::getenv("JOURNAL_STREAM") != nullptr) {}
  bool Journal() const { return journal_; }

  // A line of the server's own, not from a log.
  void Say(const std::string& line, bool failure) {
    Write((journal_ ? (failure ? "<3>" : "<6>") : "") + line);
  }
  void Write(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (silent_ || line.empty()) return;
    std::cerr << line << std::endl;
    silent_ = !std::cerr;
  }

 private:
  const bool journal_;
  std::mutex mutex_;
  bool silent_ = false;
};

// Echoes every record added to a log as one line on standard error.
void EchoLog(ActivityLog* log, EchoOutput* out) {
  if (log == nullptr) return;
  log->SetChangeCallback([out](const std::shared_ptr<const LogRecord>& added) {
    out->Write(EchoLine(*added, out->Journal()));
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
  EchoLog(&server.Log(), &echo);
  for (int i = 0; i < server.ServiceCount(); ++i) EchoLog(server.GetService(i)->GetServiceLog(), &echo);

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
                   "supply this login name and password.\n"
                << kSettingsRules;
      AskServerSettings(settings);
    });
  }
  if (!server.StartServer()) {
    if (!server.Settings().IsComplete()) {
      std::cerr << "tarvexd: Tarvex Server is not configured\n";
      return 2;
    }
    echo.Say("tarvexd: the server could not start: " + server.StartFailure(), true);
    return 1;
  }
  echo.Say(StartLine(server.Port(), ConnectAddresses(options.listen_address, Ipv4Interfaces())), false);
  // `tarvexd status` asks here; the server runs on without it.
  ControlServer control(server);
  if (!control.IsServing()) {
    echo.Say("tarvexd: tarvexd status cannot reach this server: " + SystemErrorText(control.Error()), true);
  }
  stop_signals.Wait();
  server.StopServer();
  return 0;
}

}  // namespace tarvex
