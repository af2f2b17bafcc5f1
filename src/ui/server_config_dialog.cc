#include "platform/qt_text.h"
#include "ui/server_config_dialog.h"

#include <QtGui/QRegularExpressionValidator>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "core/settings/configuration_checks.h"
#include "core/settings/server_settings.h"
#include "ui/advanced_config_dialog.h"
#include "ui/dialog_parts.h"
#include "ui/message_box.h"

namespace tarvex {

ServerConfigDialog::ServerConfigDialog(ServerSettings& settings, QWidget* parent,
                                       FolderPicker picker)
    : QDialog(parent),
      settings_(settings),
      picker_(std::move(picker)),
      login_(new QLineEdit(ToQString(settings.GetLogin()))),
      password_(new QLineEdit(ToQString(settings.GetPassword()))),
      port_(new QLineEdit) {
  setWindowTitle(QStringLiteral("Tarvex Server Configuration"));
  KeepTitleWhole(this);
  login_->setObjectName(QStringLiteral("login"));
  password_->setObjectName(QStringLiteral("password"));
  password_->setEchoMode(QLineEdit::Password);
  port_->setObjectName(QStringLiteral("port"));
  port_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port_));
  port_->setMaxLength(5);
  const std::int16_t port = settings.GetPort();
  port_->setText(QString::number(port >= 1 ? port : kDefaultPort));

  auto* account = new QGroupBox(QStringLiteral("Login Name and Password"));
  auto* account_layout = new QVBoxLayout(account);
  account_layout->addWidget(WrappedText(QStringLiteral(
      "Please enter a Login and Password which will be used to prevent unauthorized access to "
      "your computer. \n\nEach handheld that attempts to connect to your computer will need to "
      "supply this login name and password in order to be authenticated.")));
  auto* account_form = new QFormLayout;
  account_form->addRow(QStringLiteral("Login Name:"), login_);
  account_form->addRow(QStringLiteral("Password:"), password_);
  account_layout->addLayout(account_form);

  auto* port_group = new QGroupBox(QStringLiteral("Port Number"));
  auto* port_layout = new QVBoxLayout(port_group);
  port_layout->addWidget(WrappedText(QStringLiteral(
      "This is the TCP/IP port Tarvex Server will use to listen for handheld connections. By "
      "default this is set to 9300, but you may use another port number if you wish.")));
  port_layout->addWidget(WrappedText(QStringLiteral(
      "This port number must match the port number entered in the Account Config screen of "
      "Quillet Exchange on the handheld.")));
  auto* port_form = new QFormLayout;
  port_form->addRow(QStringLiteral("Port Number:"), port_);
  port_layout->addLayout(port_form);

  // OK, Cancel, then "Advanced...".
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QPushButton* advanced = SideButton(QStringLiteral("Advanced..."), "advanced");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(account);
  layout->addWidget(port_group);
  layout->addLayout(RowWithButton(buttons, advanced));
  setMinimumWidth(380);

  connect(buttons, &QDialogButtonBox::accepted, this, &ServerConfigDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ServerConfigDialog::reject);
  connect(advanced, &QPushButton::clicked, this, [this] {
    AdvancedConfigDialog dialog(this, picker_, &settings_);
    dialog.exec();
  });
  login_->setFocus();
}

void ServerConfigDialog::accept() {
  SettingsChange change;
  change.port = ToStdString(port_->text());
  change.login = ToStdString(login_->text());
  change.password = ToStdString(password_->text());
  if (std::optional<std::string> problem = FirstProblem(change)) {
    ShowMessage(this, *problem);
    return;
  }
  ApplySettingsChange(change, settings_);
  QDialog::accept();
}

}  // namespace tarvex
