// tarvex-server: Tarvex Server with its window and tray icon.
#include <QtCore/QSocketNotifier>
#include <QtWidgets/QApplication>

#include <chrono>
#include <iostream>
#include <optional>
#include <string>

#include "app/control_server.h"
#include "app/main_window.h"
#include "app/search_engine_process.h"
#include "app/server_setup.h"
#include "platform/app_folder.h"
#include "platform/instance_lock.h"
#include "platform/stop_signals.h"
#include "protocol/codes.h"
#include "ui/message_box.h"
#include "ui/program_icon.h"

namespace {

const char kUsage[] =
    "Usage: tarvex-server [--help | --version]\n"
    "  Opens Tarvex Server's window and starts the server at once: handhelds\n"
    "  connect on the configured port (9300 unless set otherwise). The first\n"
    "  start asks for the login name, the password and the port. Minimised,\n"
    "  the window waits in the tray (in the task bar on a desktop without one).\n"
    "  Started again while it runs, it brings the running window forward. Qt's\n"
    "  own options (-platform NAME, ...) are accepted as well.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvex;
  // Answered before Qt starts, so that they work without a display.
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "tarvex-server " << protocol::kServerVersion << '\n';
      return 0;
    }
  }
  // One server per user: a second start brings the running window forward
  // through its control socket, and ends.
  std::optional<InstanceLock> lock = InstanceLock::Acquire();
  if (!lock) {
    AskRunningServer("raise", std::chrono::seconds(5));
    return 0;
  }
  // SIGTERM, SIGINT and SIGHUP (the session ending) close the window like
  // its close box does: the server stops in order and the logs are saved.
  // Blocked before Qt starts any thread, they reach only the event loop.
  StopSignals stop_signals;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarvex Server"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tarvex Server"));
  QApplication::setApplicationVersion(QStringLiteral("1.20"));
  QApplication::setDesktopFileName(QStringLiteral("tarvex-server"));
  QApplication::setWindowIcon(ProgramIcon());
  if (!EnterAppFolder()) {
    ShowMessage(nullptr, "Tarvex Server cannot create its application folder.");
    return 1;
  }
  RemoveStaleSaveFilesAtStartup();
  // The desktop search engine runs as a child while the window is open,
  // unless another one is set up; it is stopped after the window closed.
  SearchEngineProcess search_engine;
  // Hidden in the tray is not closed: the program ends when the window does.
  QApplication::setQuitOnLastWindowClosed(false);
  MainWindow window;
  window.ServeControlSocket(ControlServer::DefaultPath());
  QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
  StopSignals::Pending stops;
  std::optional<QSocketNotifier> stop_notifier;
  if (stops.Descriptor() >= 0) {
    stop_notifier.emplace(stops.Descriptor(), QSocketNotifier::Read);
    QObject::connect(&*stop_notifier, &QSocketNotifier::activated, &window, [&window, &stops] {
      if (stops.Take() != 0) window.CloseFromOutside();
    });
  }
  window.show();
  return QApplication::exec();
}
