// Minimising on a real X display, with a tray (scripts/with-tray-display) and
// without one, as on stock GNOME (--no-tray). Each display runs its own case
// of this program (tests/app/CMakeLists.txt).
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QSystemTrayIcon>

#include "app/main_window.h"
#include "log/server_log.h"
#include "support/server/server_fixture.h"
#include "support/ui/desktop_world.h"
#include "support/ui/modal_driver.h"

namespace tarvex {
namespace {

// The widget through which Qt shows a tray icon in an X tray.
QWidget* TrayIconWidget() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (qstrcmp(widget->metaObject()->className(), "QSystemTrayIconSys") == 0) return widget;
  }
  return nullptr;
}

}  // namespace

class TrayTest : public QObject {
  Q_OBJECT

 private slots:
  void minimisingHidesIntoTheTrayAndRestoringBringsTheWindowBack() {
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 15000);
    const std::uint16_t port = testing::FindFreePort();
    std::unique_ptr<MainWindow> window = world_.StartWindow(port);
    QVERIFY(window);
    auto* tray = window->findChild<QSystemTrayIcon*>();
    QVERIFY(!tray->isVisible());
    QCOMPARE(tray->toolTip(),
             QStringLiteral("Veldane Tarvex Server \u2014 running on port %1, 0 devices").arg(port));

    // A click on the icon in the tray restores.
    window->showMinimized();
    QTRY_VERIFY(!window->isVisible());
    QVERIFY(tray->isVisible());
    QTRY_VERIFY(TrayIconWidget() != nullptr && TrayIconWidget()->isVisible());
    QTest::mouseClick(TrayIconWidget(), Qt::LeftButton);
    QTRY_VERIFY(window->isVisible());
    QVERIFY(!window->isMinimized());
    QVERIFY(!tray->isVisible());
    QVERIFY(window->IsRunning());

    // So does "Restore" in its menu.
    window->showMinimized();
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(tray->contextMenu()->actions().value(0)->text(), QStringLiteral("Restore"));
    tray->contextMenu()->actions().value(0)->trigger();
    QTRY_VERIFY(window->isVisible());
    QVERIFY(!tray->isVisible());

    // "Quit" in its menu ends the program in order and leaves no icon behind.
    window->showMinimized();
    QTRY_VERIFY(tray->isVisible());
    QAction* quit = tray->contextMenu()->actions().value(2);
    QCOMPARE(quit->text(), QStringLiteral("Quit"));
    quit->trigger();
    QTRY_VERIFY(window->GetServer() == nullptr);
    QVERIFY(!tray->isVisible());
    QCOMPARE(window->result(), int{QDialog::Rejected});
  }

  void minimisingWithoutATrayLeavesTheWindowInTheTaskBarWithoutAMessageBox() {
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    std::unique_ptr<MainWindow> window = world_.StartWindow(testing::FindFreePort());
    QVERIFY(window);
    testing::ModalDriver driver;
    for (int i = 0; i < 2; ++i) {
      window->showNormal();
      window->showMinimized();
      bool handled = false;  // queued behind the window's own handling
      QTimer::singleShot(0, [&] { handled = true; });
      QTRY_VERIFY(handled);
    }
    // However often it is minimised, the log says once why it stays.
    ServerLog& log = window->GetServer()->Log();
    int noted = 0;
    for (int i = 0; i < log.GetCount(); ++i) {
      noted += log.GetRecord(i)->GetField(ServerLogRecord::kDescription).starts_with("Unable to set tray icon");
    }
    QCOMPARE(noted, 1);
    QVERIFY(window->isVisible());
    QCOMPARE(driver.Seen(), QStringList());
    QVERIFY(window->IsRunning());
  }

 private:
  testing::DesktopWorld world_;
};

}  // namespace tarvex

QTEST_MAIN(tarvex::TrayTest)
#include "tray_test.moc"
