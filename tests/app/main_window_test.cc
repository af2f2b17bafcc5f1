// The desktop program's window, offscreen, over a real server on 127.0.0.1.
#include <QtTest/QtTest>
#include <QtCore/QElapsedTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QSystemTrayIcon>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableView>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "app/control_server.h"
#include "app/main_window.h"
#include "client/device_link.h"
#include "client/file_requests.h"
#include "core/settings/root_dir.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "platform/network_addresses.h"
#include "platform/qt_text.h"
#include "platform/socket.h"
#include "support/server/server_fixture.h"
#include "support/ui/desktop_world.h"
#include "support/ui/modal_driver.h"
#include "ui/transfers_model.h"
#include "ui/ip_address_edit.h"

namespace tarvex {
namespace {

using testing::Accept;
using testing::kLogin;
using testing::kPassword;
using testing::ModalDriver;
using testing::Reject;

// A second, test-only service: a log of its own, no sessions.
class NoteService : public Service {
 public:
  explicit NoteService(const std::string& log_file) : log_(log_file) { log_.Open(); }
  std::uint16_t GetServiceId() const override { return 9; }
  const std::string& GetServiceName() const override { return name_; }
  ActivityLog* GetServiceLog() override { return &log_; }
  bool Configure() override { return ++configured, true; }
  bool IsReady() override { return true; }
  std::unique_ptr<Session> CreateSession() override { return nullptr; }

  ServiceLog log_;
  int configured = 0;

 private:
  const std::string name_ = "Notes";
};

QString Cell(QTableView* view, int row, int column) {
  return view->model()->index(row, column).data().toString();
}

// A double click as a person makes it: a click, then the second click.
void DoubleClick(QTableView* view, QPoint at) {
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

int CountLines(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    world_.NewCase();
    port_ = testing::FindFreePort();
    QVERIFY(WriteRootDir(world_.DataDir()));
  }

  void aCancelledFirstRunAsksOnlyForTheSettingsAtTheNextStart() {
    ModalDriver driver;
    driver.Then(Accept()).Then(Reject());
    auto window = MakeWindow();
    QTRY_COMPARE(driver.Seen().size(), qsizetype{2});
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(Start(*window)->text(), QStringLiteral("&Start Server"));
    QCOMPARE(Label(*window, "serverState"),
             QStringLiteral("failed: the server is not configured (Configure Server...)"));

    // Not the welcome again: the configuration dialog, and the start goes on.
    driver.Then(testing::FillAndAccept(
        {{"login", "palm"}, {"password", "secret42"}, {"port", QString::number(port_)}}));
    Start(*window)->click();
    QCOMPARE(driver.Seen(), (QStringList{QStringLiteral("Welcome to Veldane Tarvex Server"),
                                         QStringLiteral("Tarvex Server Configuration"),
                                         QStringLiteral("Tarvex Server Configuration")}));
    QCOMPARE(Start(*window)->text(), QStringLiteral("Stop Server"));
    QCOMPARE(Label(*window, "serverState"), QStringLiteral("running"));
    QVERIFY(LogIn("127.0.0.1", port_, "palm", "secret42", kFileServiceId, 50).Accepted());
  }

  void connectionPanelTellsWhereHandheldsConnectAndWhyAStartFailed() {
    auto window = RunningWindow();
    QVERIFY(window);
    const std::vector<std::string> addresses = NonLoopbackIpv4Addresses();
    QVERIFY(Label(*window, "connectTo").endsWith(QStringLiteral(", port ") + QString::number(port_)));
    QCOMPARE(Label(*window, "devicesConnected"), QStringLiteral("0"));

    LoginOutcome device = Device(port_);
    QVERIFY(device.Accepted());
    QTRY_COMPARE(Label(*window, "devicesConnected"), QStringLiteral("1"));
    auto* tray = window->findChild<QSystemTrayIcon*>();
    QCOMPARE(tray->toolTip(), QStringLiteral("Veldane Tarvex Server \u2014 running on port %1, 1 device").arg(port_));

    // "Handheld Setup..." opens the device file dialog with the address shown.
    {
      ModalDriver driver;
      QString address = QStringLiteral("unset");
      driver.Then([&](QWidget* modal) {
        address = ToQString(modal->findChild<IpAddressEdit*>()->Address().value_or(""));
        qobject_cast<QDialog*>(modal)->reject();
      });
      window->findChild<QPushButton*>(QStringLiteral("handheldSetupButton"))->click();
      QCOMPARE(driver.Seen(), QStringList{QStringLiteral("Generate Device File")});
      QCOMPARE(address, addresses.empty() ? QString() : ToQString(addresses.front()));
    }
    QVERIFY(EndSession(device.connection.get(), 50) == 0);

    // Another program takes the port while the server is stopped.
    Start(*window)->click();
    QCOMPARE(Label(*window, "serverState"), QStringLiteral("stopped"));
    // The stopped listener lets go of the port within a second.
    Socket squatter;
    QTRY_VERIFY((squatter = ListenTcp("127.0.0.1", port_, 1)).IsValid());
    ModalDriver failure;
    Start(*window)->click();
    QVERIFY(!window->IsRunning());
    QCOMPARE(failure.Seen(), QStringList{QStringLiteral("Port %1 is already in use by another program").arg(port_)});
    QCOMPARE(Label(*window, "serverState"), QStringLiteral("failed: port %1 is already in use").arg(port_));
  }

  void transfersShowAnUploadAndADownloadAsTheyGoThenClear() {
    auto window = RunningWindow();
    QVERIFY(window);
    auto* view = window->findChild<QTableView*>(QStringLiteral("transfers"));
    auto* model = static_cast<TransfersModel*>(view->model());
    LoginOutcome device = Device(port_);
    QVERIFY(device.Accepted());
    QTRY_COMPARE(model->rowCount(), 1);
    QCOMPARE(model->Rows()[0].address, std::string("127.0.0.1"));
    QCOMPARE(model->Rows()[0].doing, std::string("idle"));

    // An upload, paced so that the window sees it under way.
    constexpr std::uint32_t kUpload = 4 << 20;
    std::atomic<Status> uploaded{999};
    std::jthread upload([&] {
      std::uint32_t sent = 0;
      std::int32_t reply = -1;
      uploaded = RequestPutFile(device.connection.get(), {0, "big.bin", world_.DataDir(), kUpload},
                                [&](char* out, std::size_t n) {
                                  n = std::min<std::size_t>({n, 16 << 10, kUpload - sent});
                                  std::fill_n(out, n, 'u');
                                  sent += static_cast<std::uint32_t>(n);
                                  std::this_thread::sleep_for(std::chrono::microseconds(n / 2));  // 2 MB/s
                                  return static_cast<long>(n);
                                },
                                &reply, 100);
    });
    QVERIFY(SeesTransferGrow(*model, "receiving big.bin", kUpload));
    upload.join();
    QCOMPARE(uploaded.load(), Status{0});
    QTRY_COMPARE(model->Rows()[0].doing, std::string("finished big.bin"));
    QCOMPARE(model->Rows()[0].done, std::uint64_t{kUpload});

    // A download larger than the link holds in its buffers, read slowly.
    constexpr std::uint32_t kDownload = 24 << 20;
    testing::WriteFile(world_.DataDir() + "film.bin", std::string(kDownload, 'd'));
    std::atomic<Status> downloaded{999};
    std::jthread download([&] {
      GetFileReply reply;
      downloaded = RequestGetFile(device.connection.get(), {0, 0, "film.bin", world_.DataDir()}, &reply,
                                  [](std::string_view piece) {
                                    // 4 MB/s
                                    std::this_thread::sleep_for(std::chrono::microseconds(piece.size() / 4));
                                    return true;
                                  },
                                  100);
    });
    QVERIFY(SeesTransferGrow(*model, "sending film.bin", kDownload));
    download.join();
    QCOMPARE(downloaded.load(), Status{0});

    // The session ends; its row stays a moment, then goes.
    QCOMPARE(EndSession(device.connection.get(), 50), Status{0});
    QTRY_VERIFY_WITH_TIMEOUT(model->rowCount() == 0, 15000);
  }

  void aNewPortMovesTheListenerWhileSessionsGoOnAndASecondStartRaisesTheWindow() {
    auto window = RunningWindow();
    QVERIFY(window);
    LoginOutcome before = Device(port_);
    QVERIFY(before.Accepted());

    std::uint16_t moved = testing::FindFreePort();
    while (moved == port_) moved = testing::FindFreePort();
    ModalDriver driver;
    driver.Then(testing::FillAndAccept({{"port", QString::number(moved)}}));
    window->findChild<QPushButton*>(QStringLiteral("configureButton"))->click();
    QVERIFY(driver.Finished());
    QVERIFY(window->IsRunning());
    QCOMPARE(Label(*window, "connectTo").section(QStringLiteral("port "), -1), QString::number(moved));

    QVERIFY(Device(moved).Accepted());
    QVERIFY(!LogIn("127.0.0.1", port_, kLogin, kPassword, kFileServiceId, 20).connected);
    // The device that came in on the old port is still served.
    std::string tag;
    QCOMPARE(RequestServerInfo(before.connection.get(), &tag, 50), Status{0});
    QVERIFY(!tag.empty());

    // A second start asks this one to come forward.
    const std::string path = world_.WorkFile("control/socket");
    QVERIFY(window->ServeControlSocket(path));
    window->hide();
    QVERIFY(!window->isVisible());

    std::optional<std::string> answer;
    std::jthread second([&] { answer = AskRunningServer("raise", std::chrono::seconds(5), path); });
    QTRY_VERIFY(window->isVisible());
    second.join();
    QCOMPARE(answer.value_or("none"), std::string("raised\n"));
    QVERIFY(!window->isMinimized());
  }

  void serverLogShowsNewEventsOnTopBoundedAndInDetail() {
    auto window = RunningWindow();
    QVERIFY(window);
    QTableView* view = window->findChild<QTableView*>(QStringLiteral("serverLog"));
    QTRY_COMPARE(Cell(view, 0, 1), QStringLiteral("Server Started"));

    ServerLog& log = window->GetServer()->Log();
    std::thread([&] { log.LogEvent("QLX", "palm", "a new event", "2"); }).join();
    QTRY_COMPARE(view->model()->rowCount(), 2);
    QCOMPARE(Cell(view, 0, 1), QStringLiteral("a new event"));
    QCOMPARE(Cell(view, 0, 3), QStringLiteral("palm"));
    QCOMPARE(Cell(view, 1, 1), QStringLiteral("Server Started"));

    ModalDriver driver;
    QString description;
    const auto read_detail = [&](QWidget* modal) {
      description = modal->findChild<QPlainTextEdit*>(QStringLiteral("Description"))->toPlainText();
      qobject_cast<QDialog*>(modal)->accept();
    };
    driver.Then(read_detail);
    DoubleClick(view, view->visualRect(view->model()->index(0, 0)).center());
    QTRY_COMPARE(description, QStringLiteral("a new event"));
    QCOMPARE(driver.Seen(), QStringList{QStringLiteral("Server Log Detail")});
    driver.Then(read_detail);
    DoubleClick(view, view->visualRect(view->model()->index(1, 0)).center());
    QTRY_COMPARE(description, QStringLiteral("Server Started"));
    QCOMPARE(driver.Seen().size(), qsizetype{2});

    int resets = 0;
    connect(view->model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    std::thread([&] {
      for (int i = 0; i < 500; ++i) log.LogEvent("Server", "", "event " + std::to_string(i), "0");
    }).join();
    QCOMPARE(view->model()->rowCount(), 2);  // the logging thread never waited for the window
    QTRY_COMPARE(view->model()->rowCount(), 500);
    QCOMPARE(resets, 1);  // and the refreshes it asked for were merged
    QCOMPARE(Cell(view, 0, 1), QStringLiteral("event 499"));
    QCOMPARE(Cell(view, 499, 1), QStringLiteral("event 0"));
  }

  void serviceEventsShowOnlyWhileTheirServiceIsSelected() {
    std::vector<Server::ServiceFactory> services = DesktopServices();
    services.push_back([this] { return std::make_unique<NoteService>(world_.WorkFile("notes.txt")); });
    auto window = RunningWindow(services);
    QVERIFY(window);
    auto* selector = window->findChild<QComboBox*>(QStringLiteral("serviceSelector"));
    auto* view = window->findChild<QTableView*>(QStringLiteral("serviceLog"));
    QCOMPARE(selector->count(), 2);
    QCOMPARE(selector->currentText(), QStringLiteral("Quillet Exchange"));
    auto* files = static_cast<ServiceLog*>(window->GetServer()->GetService(0)->GetServiceLog());
    auto* notes = static_cast<NoteService*>(window->GetServer()->GetService(1));

    selector->setCurrentIndex(1);
    std::thread([&] { files->LogEvent("Received file a.txt", "palm", "Success"); }).join();
    std::thread([&] { notes->log_.LogEvent("a note", "palm", "Success"); }).join();
    QTRY_COMPARE(Cell(view, 0, 2), QStringLiteral("a note"));
    QCOMPARE(view->model()->rowCount(), 1);  // the earlier file event is not shown
    window->findChild<QPushButton*>(QStringLiteral("configureServiceButton"))->click();
    QCOMPARE(notes->configured, 1);

    selector->setCurrentIndex(0);
    QCOMPARE(view->model()->rowCount(), 1);
    QCOMPARE(Cell(view, 0, 2), QStringLiteral("Received file a.txt"));
  }

  void startAndStopWhileSessionsLogNeverHangAndClosingEndsEverySession() {
    auto window = RunningWindow();
    QVERIFY(window);
    LoginOutcome idle = Device(port_);
    QVERIFY(idle.Accepted());

    // Devices log in (the listener and the sessions log) and a thread logs
    // on its own, while the window starts and stops the server.
    std::atomic<bool> done{false};
    ServerLog* log = &window->GetServer()->Log();
    std::thread devices([&] {
      for (int i = 0; i < 40 && !done; ++i) {
        LoginOutcome device =
            LogIn("127.0.0.1", port_, kLogin, i % 2 ? kPassword : "wrong", kFileServiceId, 20);
        if (device.Accepted()) SendHeader(device.connection.get(), protocol::kEndSession);
      }
    });
    std::thread logger([&] {
      for (int i = 0; i < 150 && !done; ++i) log->LogEvent("Server", "", "noise", "0");
    });
    for (int i = 0; i < 12; ++i) {
      Start(*window)->click();
      QTest::qWait(15);
    }
    done = true;
    devices.join();
    logger.join();
    QVERIFY(window->IsRunning());

    window->close();
    QVERIFY(window->GetServer() == nullptr);
    // Every session that began had ended, and logged so, before the log was
    // saved for the last time.
    const std::string saved = testing::ReadFile(world_.WorkFile("TSServerLog.txt"));
    QVERIFY(CountLines(saved, "Begin Session Successful") >= 1);
    QCOMPARE(CountLines(saved, "End Session"), CountLines(saved, "Begin Session Successful"));
  }

 private:
  std::unique_ptr<MainWindow> MakeWindow(
      const std::vector<Server::ServiceFactory>& services = DesktopServices()) {
    ServerOptions options;
    options.listen_address = "127.0.0.1";
    options.login_timeout = 20;
    auto window = std::make_unique<MainWindow>(options, services);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) qWarning("the window was not exposed");
    return window;
  }
  // Settings for 127.0.0.1:port_, then the window over them; null unless
  // its server runs within 10 s.
  std::unique_ptr<MainWindow> RunningWindow(const std::vector<Server::ServiceFactory>& services = DesktopServices()) {
    if (!testing::WriteServerSettings(world_.DataDir(), port_, kLogin, kPassword)) return nullptr;
    auto window = MakeWindow(services);
    if (!QTest::qWaitFor([&] { return window->IsRunning(); }, 10000)) return nullptr;
    return window;
  }
  static LoginOutcome Device(std::uint16_t port) {
    return LogIn("127.0.0.1", port, kLogin, kPassword, kFileServiceId, 50);
  }
  // Watches the transfers view until the transfer shows with more bytes at
  // least twice before it is done.
  static bool SeesTransferGrow(const TransfersModel& model, const std::string& doing, std::uint64_t total) {
    std::vector<std::uint64_t> seen;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
      QTest::qWait(20);
      if (model.rowCount() != 1 || model.Rows()[0].doing != doing) {
        if (!seen.empty()) break;
        continue;
      }
      const TransferRow& row = model.Rows()[0];
      if (row.total != total || (!seen.empty() && row.done < seen.back())) return false;
      if (seen.empty() || row.done > seen.back()) seen.push_back(row.done);
      if (row.done == total) break;
    }
    qInfo("%s: %zu refreshes with growing bytes", doing.c_str(), seen.size());
    return seen.size() >= 3 && seen.front() < total;
  }
  static QString Label(MainWindow& window, const char* name) {
    return window.findChild<QLabel*>(QString::fromLatin1(name))->text();
  }
  static QPushButton* Start(MainWindow& window) {
    return window.findChild<QPushButton*>(QStringLiteral("startButton"));
  }

  testing::DesktopWorld world_;
  std::uint16_t port_ = 0;
};

}  // namespace tarvex

QTEST_MAIN(tarvex::MainWindowTest)
#include "main_window_test.moc"
