// ConnectionPanel: what a person needs to set up a handheld, under the main
// window's buttons. It shows where handhelds connect to (every non-loopback
// IPv4 address of the computer and the port), the server's state (running,
// stopped, or failed with its reason), how many devices are connected, a
// "Handheld Setup..." button and the switch for desktop notifications. It
// only shows what it is given. GUI thread only.
#pragma once

#include <QtWidgets/QGroupBox>

#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;

namespace tarvex {

struct ConnectionState {
  enum class Server { kStopped, kRunning, kFailed };
  std::vector<std::string> addresses;
  int port = 0;
  Server server = Server::kStopped;
  std::string failure;  // why the last start failed, when it did
  int devices = 0;
};

// "192.168.1.20 or 10.0.0.5, port 9300".
std::string ConnectText(const ConnectionState& state);
// "running on port 9300, 2 devices", "stopped", "failed: port 9300 is ...".
std::string StateText(const ConnectionState& state);

// The message box of a failed start, from Server::StartFailure():
// "Port 9300 is already in use by another program", "Permission denied for
// port 80", ...
std::string StartFailureMessage(const std::string& reason);

class ConnectionPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit ConnectionPanel(QWidget* parent = nullptr);

  void Show(const ConnectionState& state);
  QPushButton* SetupButton() const { return setup_; }
  QCheckBox* NotifyCheck() const { return notify_; }

 private:
  QLabel* connect_to_;
  QLabel* state_;
  QLabel* devices_;
  QPushButton* setup_;
  QCheckBox* notify_;
};

}  // namespace tarvex
