// tarvex-server: Tarvex Server with its window and tray icon.
#include <QtWidgets/QApplication>

#include <optional>

#include "app/main_window.h"
#include "platform/app_folder.h"
#include "platform/instance_lock.h"
#include "ui/message_box.h"
#include "ui/program_icon.h"

int main(int argc, char** argv) {
  using namespace tarvex;
  // One server per user: a second copy ends at once, silently.
  std::optional<InstanceLock> lock = InstanceLock::Acquire();
  if (!lock) return 0;

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
  // Hidden in the tray is not closed: the program ends when the window does.
  QApplication::setQuitOnLastWindowClosed(false);
  MainWindow window;
  QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
  window.show();
  return QApplication::exec();
}
