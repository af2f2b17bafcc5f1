// tarvex-screenshots OUTDIR: pictures of the desktop program for people who
// review it. Runs a real server on 127.0.0.1 in a private world, lets a device
// log in so that both lists hold rows, and writes a PNG of the main window and
// of every dialog into OUTDIR. Exits non-zero when a picture is missing.
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSystemTrayIcon>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <iostream>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "client/device_link.h"
#include "client/file_requests.h"
#include "core/settings/server_settings.h"
#include "core/settings/root_dir.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "platform/network_addresses.h"
#include "platform/socket.h"
#include "support/server/server_fixture.h"
#include "support/temp_dir.h"
#include "support/ui/desktop_world.h"
#include "ui/advanced_config_dialog.h"
#include "ui/device_file_dialog.h"
#include "ui/file_service_config_dialog.h"
#include "ui/folder_dialog.h"
#include "ui/info_dialogs.h"
#include "ui/log_detail_dialog.h"
#include "ui/server_config_dialog.h"

namespace tarvex {
namespace {

bool Save(QWidget* widget, const std::string& path) {
  widget->show();
  if (!QTest::qWaitForWindowExposed(widget)) return false;
  QTest::qWait(150);
  const bool saved = widget->grab().save(QString::fromStdString(path), "PNG");
  std::cout << (saved ? "wrote " : "could not write ") << path << std::endl;
  return saved;
}

int Run(const std::string& out) {
  testing::DesktopWorld world;
  const std::uint16_t port = testing::FindFreePort();
  std::unique_ptr<MainWindow> started = world.StartWindow(port);
  if (!started) return 1;
  MainWindow& window = *started;
  WriteRootDir(world.DataDir() + "Quillet Exchange/");

  // A device logs in, adds a user and leaves: rows in both lists.
  LoginOutcome device =
      LogIn("127.0.0.1", port, testing::kLogin, testing::kPassword, kFileServiceId, 50);
  if (device.Accepted()) {
    AddUserReply added;
    RequestAddUser(device.connection.get(), "Ada", "travel handheld", &added, 50);
    EndSession(device.connection.get(), 50);
  }
  LogIn("127.0.0.1", port, testing::kLogin, "not the password", kFileServiceId, 50);
  auto* service_log = static_cast<ServiceLog*>(window.GetServer()->GetService(0)->GetServiceLog());
  service_log->LogEvent("Received file Notes/meeting.txt", testing::kLogin, "Success");
  service_log->LogEvent("Sent file Reports/q3.pdf", testing::kLogin, "Success");

  // Two transfers in progress: an upload and a download, paced, given up
  // once the picture is taken. The upload's rate reads in KB/s, the longest
  // progress text.
  std::atomic<bool> stop{false};
  const std::string folder = world.DataDir();
  testing::WriteFile(folder + "Quarterly report.pdf", std::string(48 << 20, 'r'));
  std::vector<std::jthread> devices;
  devices.emplace_back([&] {
    LoginOutcome uploader = LogIn("127.0.0.1", port, testing::kLogin, testing::kPassword, kFileServiceId, 50);
    if (!uploader.Accepted()) return;
    std::int32_t reply = 0;
    RequestPutFile(uploader.connection.get(), {0, "Holiday photos.zip", folder, 120u << 20},
                   [&](char* buffer, std::size_t n) -> long {
                     if (stop) return -1;
                     n = std::min<std::size_t>(n, 16 << 10);
                     std::fill_n(buffer, n, 'p');
                     std::this_thread::sleep_for(std::chrono::microseconds(n * 2));
                     return static_cast<long>(n);
                   },
                   &reply, 50);
  });
  devices.emplace_back([&] {
    LoginOutcome downloader = LogIn("127.0.0.1", port, testing::kLogin, testing::kPassword, kFileServiceId, 50);
    if (!downloader.Accepted()) return;
    GetFileReply reply;
    RequestGetFile(downloader.connection.get(), {0, 0, "Quarterly report.pdf", folder}, &reply,
                   [&](std::string_view piece) {
                     std::this_thread::sleep_for(std::chrono::microseconds(piece.size() / 2));
                     return !stop;
                   },
                   50);
  });
  QTest::qWait(3000);

  bool ok = Save(&window, out + "/main-window.png");
  stop = true;
  devices.clear();
  // The tray's menu, as a right click on the icon opens it.
  if (QMenu* menu = window.findChild<QSystemTrayIcon*>()->contextMenu()) {
    menu->popup(QPoint(200, 200));
    ok = Save(menu, out + "/tray-menu.png") && ok;
    menu->hide();
  }
  ServerSettings& settings = window.GetServer()->Settings();
  std::shared_ptr<const LogRecord> server_record = window.GetServer()->Log().GetRecord(0);
  std::shared_ptr<const LogRecord> service_record = service_log->GetRecord(0);
  if (!server_record || !service_record) return 1;
  std::vector<std::pair<std::string, std::unique_ptr<QDialog>>> dialogs;
  dialogs.emplace_back("about", MakeAboutDialog(&window));
  dialogs.emplace_back("welcome", MakeWelcomeDialog(&window));
  dialogs.emplace_back("server-configuration", std::make_unique<ServerConfigDialog>(settings, &window));
  dialogs.emplace_back("advanced-configuration", std::make_unique<AdvancedConfigDialog>(&window));
  dialogs.emplace_back("storage-folder", std::make_unique<FolderDialog>(
                                             StorageFolderTexts(), ServerSettings::GetDataDir().value_or(""), &window));
  dialogs.emplace_back("file-service-configuration", MakeFileServiceConfigDialog(&window));
  dialogs.emplace_back("server-log-detail", MakeServerLogDetailDialog(*server_record, &window));
  dialogs.emplace_back("service-log-detail", MakeServiceLogDetailDialog(*service_record, "Quillet Exchange", &window));
  dialogs.emplace_back("device-file", std::make_unique<DeviceFileDialog>(settings, &window));
  // "Handheld Setup..." opens it with the address the window shows.
  auto setup = std::make_unique<DeviceFileDialog>(settings, &window);
  const std::vector<std::string> addresses = NonLoopbackIpv4Addresses();
  setup->PresetAddress(addresses.empty() ? "192.168.1.20" : addresses.front());
  dialogs.emplace_back("handheld-setup", std::move(setup));

  // A start that fails: another program holds the port.
  window.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
  Socket squatter;
  for (int i = 0; i < 50 && !squatter.IsValid(); ++i) {
    QTest::qWait(100);
    squatter = ListenTcp("127.0.0.1", port, 1);
  }
  QTimer::singleShot(300, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      ok = Save(box, out + "/start-failure.png") && ok;
      box->close();
    } else {
      ok = false;
    }
  });
  window.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
  for (const auto& [name, dialog] : dialogs) ok = Save(dialog.get(), out + "/" + name + ".png") && ok;
  window.done(QDialog::Accepted);
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace tarvex

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Tarvex Server"));
  if (argc != 2) {
    std::cerr << "usage: tarvex-screenshots OUTDIR\n";
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  return tarvex::Run(std::filesystem::absolute(argv[1]).string());
}
