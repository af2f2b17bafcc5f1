#include "platform/qt_text.h"
#include "ui/connection_panel.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <string_view>


namespace tarvex {
namespace {

QLabel* Value(const char* name) {
  auto* label = new QLabel;
  label->setObjectName(QString::fromLatin1(name));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

std::string Devices(int count) {
  return std::to_string(count) + (count == 1 ? " device" : " devices");
}

}  // namespace

std::string ConnectText(const ConnectionState& state) {
  std::string text;
  for (const std::string& address : state.addresses) {
    if (!text.empty()) text += " or ";
    text += address;
  }
  if (text.empty()) text = "no network address found";
  return text + ", port " + std::to_string(state.port);
}

std::string StateText(const ConnectionState& state) {
  switch (state.server) {
    case ConnectionState::Server::kRunning:
      return "running on port " + std::to_string(state.port) + ", " + Devices(state.devices);
    case ConnectionState::Server::kFailed:
      return "failed: " + (state.failure.empty() ? std::string("see the server log") : state.failure);
    case ConnectionState::Server::kStopped:
      break;
  }
  return "stopped";
}

std::string StartFailureMessage(const std::string& reason) {
  std::string text = reason;
  if (text.empty()) return "Tarvex Server could not start; the server log says why";
  if (text.front() >= 'a' && text.front() <= 'z') text.front() = static_cast<char>(text.front() - 'a' + 'A');
  constexpr std::string_view kInUse = "is already in use";
  if (text.size() >= kInUse.size() && text.compare(text.size() - kInUse.size(), kInUse.size(), kInUse) == 0) {
    text += " by another program";
  }
  return text;
}

ConnectionPanel::ConnectionPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Connection"), parent),
      connect_to_(Value("connectTo")),
      state_(Value("serverState")),
      devices_(Value("devicesConnected")),
      setup_(new QPushButton(QStringLiteral("Handheld Setup..."))),
      notify_(new QCheckBox(QStringLiteral("Notify me when a file arrives"))) {
  setObjectName(QStringLiteral("connectionPanel"));
  setup_->setObjectName(QStringLiteral("handheldSetupButton"));
  setup_->setToolTip(QStringLiteral("Make the configuration file to install on a handheld"));
  notify_->setObjectName(QStringLiteral("notifyCheck"));
  QFont bold = connect_to_->font();
  bold.setBold(true);
  connect_to_->setFont(bold);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Handhelds connect to:")), 0, 0);
  grid->addWidget(connect_to_, 0, 1);
  grid->addWidget(setup_, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("Server:")), 1, 0);
  grid->addWidget(state_, 1, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Devices connected:")), 2, 0);
  grid->addWidget(devices_, 2, 1);
  grid->addWidget(notify_, 2, 2);
  grid->setColumnStretch(1, 1);
}

void ConnectionPanel::Show(const ConnectionState& state) {
  connect_to_->setText(ToQString(ConnectText(state)));
  std::string server = "stopped";
  if (state.server == ConnectionState::Server::kRunning) server = "running";
  if (state.server == ConnectionState::Server::kFailed) server = StateText(state);
  state_->setText(ToQString(server));
  state_->setToolTip(ToQString(server));
  devices_->setText(QString::number(state.devices));
}

}  // namespace tarvex
