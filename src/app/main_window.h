// MainWindow: the desktop program's one window, "Quillet Exchange - Tarvex
// Server". It owns the Server: it initialises it, posts the first start at
// once, starts and stops it with its button, shows the server log and the
// selected service's log live, opens the configuration dialogs and hides in
// the tray when minimised.
//
// The logs' change callbacks only post a refresh to the window's thread
// (merged while one is pending) and never wait for it, so a logging thread
// can never be held up by the window, nor the window by a logging thread.
// Closing the window (close box, Esc) stops the server and releases it: the
// listener is stopped and running sessions are ended and waited for before
// anything they use goes away. GUI thread only.
#pragma once

#include <QtWidgets/QDialog>

#include <memory>
#include <vector>

#include "core/server/server.h"

class QComboBox;
class QMenu;
class QModelIndex;
class QPushButton;
class QSystemTrayIcon;
class QTableView;

namespace tarvex {

class LogTableModel;

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
  QSystemTrayIcon* tray_;
  std::unique_ptr<QMenu> tray_menu_;
};

}  // namespace tarvex
