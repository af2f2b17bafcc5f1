// Desktop notifications, on a private session bus (dbus-run-session) with a
// stand-in notification service.
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtTest/QtTest>

#include <algorithm>
#include <vector>

#include "app/main_window.h"
#include "client/device_link.h"
#include "client/file_requests.h"
#include "fileservice/received_file.h"
#include "support/server/server_fixture.h"
#include "support/ui/desktop_world.h"
#include "ui/desktop_notifier.h"

namespace tarvex {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// Answers Notify as a desktop's notification service does, on a connection
// of its own, and remembers what it was asked to show.
class StandInNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Shown {
    uint id;
    QString summary, body;
    QStringList actions;
  };

  StandInNotifications()
      : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"))) {
    bus_.registerObject(kPath, this, QDBusConnection::ExportAllSlots);
  }
  ~StandInNotifications() override {
    bus_.unregisterService(kService);
    QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
  }
  bool Register() { return bus_.registerService(kService); }
  // A person clicks the notification.
  void Click(uint id, const QString& action) {
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"));
    signal << id << action;
    bus_.send(signal);
  }

  std::vector<Shown> shown;

 public slots:
  uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
              const QStringList& actions, const QVariantMap&, int) {
    shown.push_back({next_id_, summary, body, actions});
    return next_id_++;
  }

 private:
  QDBusConnection bus_;
  uint next_id_ = 7;
};

class NotificationTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session"); }
  void init() { world_.NewCase(); }

  void onlyAClickOnOneOfOursOpensItsFolderAndTurnedOffNothingIsShown() {
    std::vector<std::string> opened;
    DesktopNotifier notifier(nullptr, QDBusConnection::sessionBus(),
                             [&](const std::string& folder) { opened.push_back(folder); });
    const ReceivedFile file{"a.txt", "/home/ada/Quillet Exchange/", "Ada"};
    StandInNotifications service;
    QVERIFY(service.Register());
    notifier.FileReceived(file.name, file.directory, file.user);
    QTRY_COMPARE(service.shown.size(), std::size_t{1});
    QVERIFY(service.shown[0].actions.contains(QStringLiteral("default")));

    // Only a click on one of ours opens a folder, and the folder it names.
    service.Click(service.shown[0].id + 100, QStringLiteral("default"));
    service.Click(service.shown[0].id, QStringLiteral("default"));
    QTRY_COMPARE(opened.size(), std::size_t{1});
    QCOMPARE(opened[0], file.directory);

    // Turned off, nothing is shown; turned on again, it is. The calls reach
    // the service in order, so the one shown second is the later file.
    QVERIFY(SetNotificationsWanted(false));
    notifier.FileReceived("hidden.txt", "/", "Ada");
    QVERIFY(SetNotificationsWanted(true));
    notifier.FileReceived("b.txt", "/", "Ada");
    QTRY_COMPARE(service.shown.size(), std::size_t{2});
    QCOMPARE(service.shown[1].summary, QStringLiteral("Received b.txt from Ada"));
  }

  void anUploadFromADeviceIsAnnouncedWithItsNameSenderAndFolder() {
    StandInNotifications service;
    QVERIFY(service.Register());
    const std::uint16_t port = testing::FindFreePort();
    std::unique_ptr<MainWindow> window = world_.StartWindow(port);
    QVERIFY(window);

    LoginOutcome device = LogIn("127.0.0.1", port, testing::kLogin, testing::kPassword, kFileServiceId, 50);
    QVERIFY(device.Accepted());
    std::int32_t reply = -1;
    const auto content = [](char* out, std::size_t n) { return static_cast<long>(std::fill_n(out, n, 'x') - out); };
    QCOMPARE(RequestPutFile(device.connection.get(), {0, "notes.txt", world_.DataDir(), 13}, content, &reply, 50),
             Status{0});
    QTRY_COMPARE(service.shown.size(), std::size_t{1});
    QCOMPARE(service.shown[0].summary,
             QStringLiteral("Received notes.txt from %1").arg(QString::fromLatin1(testing::kLogin)));
    QCOMPARE(service.shown[0].body, QString::fromStdString(world_.DataDir()));
    EndSession(device.connection.get(), 50);
    window->done(QDialog::Accepted);
  }

 private:
  testing::DesktopWorld world_;
};

}  // namespace tarvex

QTEST_MAIN(tarvex::NotificationTest)
#include "notification_test.moc"
