// The tray icon on a real X display with a tray (scripts/with-tray-display).
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QSystemTrayIcon>

#include "app/main_window.h"
#include "core/settings/root_dir.h"
#include "support/server/server_fixture.h"
#include "support/ui/desktop_world.h"

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
    QVERIFY(
        testing::WriteServerSettings(world_.DataDir(), port, testing::kLogin, testing::kPassword));
    QVERIFY(WriteRootDir(world_.DataDir()));
    ServerOptions options;
    options.listen_address = "127.0.0.1";
    MainWindow window(options);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.IsRunning());
    auto* tray = window.findChild<QSystemTrayIcon*>();
    QVERIFY(!tray->isVisible());
    QCOMPARE(tray->toolTip(),
             QStringLiteral("Veldane Tarvex Server \u2014 running on port %1, 0 devices").arg(port));

    // A click on the icon in the tray restores.
    window.showMinimized();
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(tray->isVisible());
    QTRY_VERIFY(TrayIconWidget() != nullptr && TrayIconWidget()->isVisible());
    QTest::mouseClick(TrayIconWidget(), Qt::LeftButton);
    QTRY_VERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QVERIFY(!tray->isVisible());
    QVERIFY(window.IsRunning());

    // So does "Restore" in its menu.
    window.showMinimized();
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(tray->contextMenu()->actions().value(0)->text(), QStringLiteral("Restore"));
    tray->contextMenu()->actions().value(0)->trigger();
    QTRY_VERIFY(window.isVisible());
    QVERIFY(!tray->isVisible());

    // "Quit" in its menu ends the program in order and leaves no icon behind.
    window.showMinimized();
    QTRY_VERIFY(tray->isVisible());
    QAction* quit = tray->contextMenu()->actions().value(2);
    QCOMPARE(quit->text(), QStringLiteral("Quit"));
    quit->trigger();
    QTRY_VERIFY(window.GetServer() == nullptr);
    QVERIFY(!tray->isVisible());
    QCOMPARE(window.result(), int{QDialog::Rejected});
  }

 private:
  testing::DesktopWorld world_;
};

}  // namespace tarvex

QTEST_MAIN(tarvex::TrayTest)
#include "tray_test.moc"
