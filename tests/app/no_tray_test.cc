// A desktop without a tray (stock GNOME), on a real X display with no tray
// (scripts/with-tray-display --no-tray).
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QSystemTrayIcon>

#include "app/main_window.h"
#include "core/settings/root_dir.h"
#include "log/server_log.h"
#include "support/server/server_fixture.h"
#include "support/ui/desktop_world.h"

namespace tarvex {

class NoTrayTest : public QObject {
  Q_OBJECT

 private slots:
  void minimisingGoesToTheTaskBarWithoutAMessageBox() {
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QVERIFY(testing::WriteServerSettings(world_.DataDir(), testing::FindFreePort(), testing::kLogin,
                                         testing::kPassword));
    QVERIFY(WriteRootDir(world_.DataDir()));
    ServerOptions options;
    options.listen_address = "127.0.0.1";
    MainWindow window(options);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.IsRunning());

    for (int i = 0; i < 3; ++i) {
      window.showMinimized();
      QTRY_VERIFY(window.isMinimized());
      QTest::qWait(300);
      QVERIFY2(QApplication::activeModalWidget() == nullptr, "a message box came up");
      QVERIFY(window.isVisible());  // still in the task bar, not hidden
      window.showNormal();
      QTRY_VERIFY(!window.isMinimized());
    }
    QVERIFY(window.IsRunning());
  }

 private:
  testing::DesktopWorld world_;
};

}  // namespace tarvex

QTEST_MAIN(tarvex::NoTrayTest)
#include "no_tray_test.moc"
