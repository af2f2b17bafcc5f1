// MainWindow: the desktop program's one window, "Quillet Exchange - Tarvex
// Server". It owns the Server: it initialises it, posts the first start at
// once, starts and stops it with its button, shows the server log and the
// selected service's log live, opens the configuration dialogs and hides in
// the tray when minimised.
//
// Under the buttons a connection panel tells a person what to give a
// handheld (the computer's addresses and the port), the server's state with
// the reason of a failed start, and how many devices are connected; its
// "Handheld Setup..." opens the device file dialog with that address. A
// changed port takes effect at once (the listener moves; running sessions go
// on). A start with incomplete settings opens the configuration dialog. Files
// received are announced on the desktop (desktop_notifier.h). Without a tray
// on the desktop, minimising minimises to the task bar; the tray's menu
// offers "Restore" and "Quit", its tip the server's state. A start that
// fails says why in a message box. A transfers view lists the running
// sessions with the progress of their transfers; the session threads only
// report to the server's activity registry, which the window reads at most
// four times a second, so no session ever waits for the window.
//
// The logs' change callbacks only post a refresh to the window's thread
// (merged while one is pending) and never wait for it, so a logging thread
// can never be held up by the window, nor the window by a logging thread.
// Closing the window (close box, Esc) stops the server and releases it: the
// listener is stopped and running sessions are ended and waited for before
// anything they use goes away. GUI thread only.
#pragma once

#include <QtWidgets/QDialog>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/server/server.h"

class QComboBox;
class QMenu;
class QTimer;
class QModelIndex;
class QPushButton;
class QSystemTrayIcon;
class QTableView;

namespace tarvex {

class ConnectionPanel;
class ControlServer;
class DesktopNotifier;
class LogTableModel;
class TransfersModel;

// The services of the desktop program: the file-exchange service, configured
// through its dialog.
std::vector<Server::ServiceFactory> DesktopServices();

class MainWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MainWindow(ServerOptions options = {},
                      const std::vector<Server::ServiceFactory>& services = DesktopServices(),
                      QWidget* parent = nullptr);
  ~MainWindow() override;

  // Null once the window has closed, or when the server could not be
  // initialised.
  Server* GetServer() const { return server_.get(); }
  bool IsRunning() const { return running_; }
  // Why the last start failed; empty while none failed.
  const std::string& StartFailureText() const { return failure_; }

  // Shows the window (from the tray, too) and brings it to the front.
  void ShowAndRaise();
  // Answers the user's control socket at `path` (hold the single-instance
  // lock): a second start asks the window to come forward. False when the
  // socket could not be made.
  bool ServeControlSocket(const std::string& path);

  // Closing the window shuts the server down.
  void done(int result) override;
  // Closes the window from outside (a stop signal, the session ending): the
  // dialogs open over it are cancelled first, and the window closes once the
  // code that opened them (a start asking for the settings) has returned.
  void CloseFromOutside();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void BuildLayout();
  void ConnectLogs();
  void StartStop();
  void ConfigureServer();
  void OpenDeviceFileDialog();
  void ShowAbout();
  void ShowService(int index);
  void ConfigureService();
  void ShowServerLogDetail(const QModelIndex& index);
  void ShowServiceLogDetail(const QModelIndex& index);
  Service* SelectedService() const;
  void MinimiseToTray();
  void RestoreFromTray();
  void ShutDownServer();
  void ConnectReceivedFiles();
  // Starts the server; on failure keeps the reason for the panel.
  void Start();
  void OpenHandheldSetup();
  // The panel and the tray's tip follow the server.
  void UpdateState();
  // Reads the activity registry into the transfers view when it changed.
  void RefreshTransfers();

  std::unique_ptr<Server> server_;
  bool running_ = false;
  QPushButton* start_button_;
  QPushButton* configure_button_;
  QPushButton* device_file_button_;
  QPushButton* about_button_;
  LogTableModel* server_log_model_;
  QTableView* server_log_view_;
  QComboBox* service_selector_;
  QPushButton* configure_service_button_;
  LogTableModel* service_log_model_;
  QTableView* service_log_view_;
  ConnectionPanel* panel_;
  QSystemTrayIcon* tray_;
  std::unique_ptr<QMenu> tray_menu_;
  TransfersModel* transfers_model_;
  QTableView* transfers_view_;
  DesktopNotifier* notifier_;
  QTimer* state_timer_;
  QTimer* transfers_timer_;
  std::uint64_t seen_changes_ = 0;
  // Destroyed before the server it reports on.
  std::unique_ptr<ControlServer> control_;
  std::string failure_;
  // The welcome and configuration dialogs of the first start were shown.
  bool welcomed_ = false;
  // The missing tray was noted in the server log (once per run).
  bool no_tray_noted_ = false;
};

}  // namespace tarvex
