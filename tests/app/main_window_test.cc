// The desktop program's window, offscreen, over a real server on 127.0.0.1.
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableView>

#include <atomic>
#include <thread>

#include "app/main_window.h"
#include "client/device_link.h"
#include "fileservice/root_dir.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "support/server/server_fixture.h"
#include "support/ui/desktop_world.h"
#include "support/ui/modal_driver.h"

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

  void firstRunWalksThroughWelcomeAndConfigurationThenStarts() {
    ModalDriver driver;
    driver.Then(Accept()).Then(testing::FillAndAccept(
        {{"login", "palm"}, {"password", "secret42"}, {"port", QString::number(port_)}}));
    auto window = MakeWindow();
    QTRY_COMPARE(Start(*window)->text(), QStringLiteral("Stop Server"));
    QCOMPARE(driver.Seen(), (QStringList{QStringLiteral("Welcome to Veldane Tarvex Server"),
                                         QStringLiteral("Tarvex Server Configuration")}));
    QVERIFY(LogIn("127.0.0.1", port_, "palm", "secret42", kFileServiceId, 50).Accepted());

    Start(*window)->click();
    QCOMPARE(Start(*window)->text(), QStringLiteral("Start Server"));
    QVERIFY(!window->GetServer()->IsRunning());
    Start(*window)->click();
    QCOMPARE(Start(*window)->text(), QStringLiteral("Stop Server"));
    QVERIFY(window->GetServer()->IsRunning());
  }

  void cancelledFirstRunLeavesStartServerAndShowsNoSecondWelcome() {
    ModalDriver driver;
    driver.Then(Accept()).Then(Reject());
    auto window = MakeWindow();
    QTRY_COMPARE(driver.Seen().size(), qsizetype{2});
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(Start(*window)->text(), QStringLiteral("&Start Server"));
    Start(*window)->click();
    QTest::qWait(100);
    QCOMPARE(driver.Seen().size(), qsizetype{2});
    QCOMPARE(Start(*window)->text(), QStringLiteral("&Start Server"));
  }

  void serverLogShowsNewEventsOnTopBoundedAndInDetail() {
    QVERIFY(testing::WriteServerSettings(world_.DataDir(), port_, kLogin, kPassword));
    auto window = MakeWindow();
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
    driver.Then([&](QWidget* modal) {
      description = modal->findChild<QPlainTextEdit*>(QStringLiteral("Description"))->toPlainText();
      qobject_cast<QDialog*>(modal)->accept();
    });
    DoubleClick(view, view->visualRect(view->model()->index(0, 0)).center());
    QTRY_COMPARE(description, QStringLiteral("a new event"));
    QCOMPARE(driver.Seen(), QStringList{QStringLiteral("Server Log Detail")});
    const QRect last = view->visualRect(view->model()->index(view->model()->rowCount() - 1, 0));
    DoubleClick(view, last.center() + QPoint(0, 3 * last.height()));
    QTest::qWait(100);
    QCOMPARE(driver.Seen().size(), qsizetype{1});

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

  void serviceEventsShowOnlyWhileTheirServiceIsSelectedAndNoTrayIsReported() {
    QVERIFY(testing::WriteServerSettings(world_.DataDir(), port_, kLogin, kPassword));
    std::vector<Server::ServiceFactory> services = DesktopServices();
    services.push_back(
        [this] { return std::make_unique<NoteService>(world_.WorkFile("notes.txt")); });
    auto window = MakeWindow(services);
    auto* selector = window->findChild<QComboBox*>(QStringLiteral("serviceSelector"));
    auto* view = window->findChild<QTableView*>(QStringLiteral("serviceLog"));
    QCOMPARE(selector->count(), 2);
    QCOMPARE(selector->currentText(), QStringLiteral("Quillet Exchange"));
    auto* files = static_cast<ServiceLog*>(window->GetServer()->GetService(0)->GetServiceLog());
    auto* notes = static_cast<NoteService*>(window->GetServer()->GetService(1));

    selector->setCurrentIndex(1);
    std::thread([&] { files->LogEvent("Received file a.txt", "palm", "Success"); }).join();
    QTest::qWait(100);
    QCOMPARE(view->model()->rowCount(), 0);
    std::thread([&] { notes->log_.LogEvent("a note", "palm", "Success"); }).join();
    QTRY_COMPARE(Cell(view, 0, 2), QStringLiteral("a note"));
    window->findChild<QPushButton*>(QStringLiteral("configureServiceButton"))->click();
    QCOMPARE(notes->configured, 1);

    selector->setCurrentIndex(0);
    QCOMPARE(view->model()->rowCount(), 1);
    QCOMPARE(Cell(view, 0, 2), QStringLiteral("Received file a.txt"));

    // There is no tray here: minimising says so and leaves the window up.
    ModalDriver driver;
    QString caption;
    driver.Then([&](QWidget* modal) {
      caption = modal->windowTitle();
      qobject_cast<QDialog*>(modal)->accept();
    });
    window->setWindowState(Qt::WindowMinimized);
    QTRY_COMPARE(driver.Seen(), QStringList{QStringLiteral("Unable to set tray icon")});
    QCOMPARE(caption, QStringLiteral("Error"));
    QVERIFY(window->isVisible());
  }

  void startAndStopWhileSessionsLogNeverHangAndClosingEndsEverySession() {
    QVERIFY(testing::WriteServerSettings(world_.DataDir(), port_, kLogin, kPassword));
    auto window = MakeWindow();
    QTRY_VERIFY(window->IsRunning());
    LoginOutcome idle = LogIn("127.0.0.1", port_, kLogin, kPassword, kFileServiceId, 50);
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
  static QPushButton* Start(MainWindow& window) {
    return window.findChild<QPushButton*>(QStringLiteral("startButton"));
  }

  testing::DesktopWorld world_;
  std::uint16_t port_ = 0;
};

}  // namespace tarvex

QTEST_MAIN(tarvex::MainWindowTest)
#include "main_window_test.moc"
