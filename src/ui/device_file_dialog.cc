#include "platform/qt_text.h"
#include "ui/device_file_dialog.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "core/settings/device_file.h"
#include "core/settings/server_settings.h"
#include "platform/network_addresses.h"
#include "ui/dialog_parts.h"
#include "ui/ip_address_edit.h"
#include "ui/message_box.h"

namespace tarvex {

DeviceFileDialog::DeviceFileDialog(const ServerSettings& settings, QWidget* parent,
                                   FolderPicker picker)
    : QDialog(parent),
      settings_(settings),
      picker_(std::move(picker)),
      address_(new IpAddressEdit),
      folder_(PathBox(QString(), "folder")) {
  setWindowTitle(QStringLiteral("Generate Device File"));
  KeepTitleWhole(this);
  const std::vector<std::string> addresses = NonLoopbackIpv4Addresses();
  if (addresses.size() == 1) address_->SetAddress(addresses.front());

  QPushButton* browse = SideButton(QStringLiteral("Browse"), "browse");

  auto* buttons = new QDialogButtonBox;
  buttons->addButton(QStringLiteral("Generate"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("IP Address of Computer running Tarvex Server:")));
  layout->addWidget(address_);
  layout->addSpacing(8);
  layout->addWidget(new QLabel(QStringLiteral("Choose Directory to save Config file:")));
  layout->addLayout(RowWithButton(folder_, browse));
  layout->addWidget(buttons);
  connect(browse, &QPushButton::clicked, this, &DeviceFileDialog::Browse);
  connect(buttons, &QDialogButtonBox::accepted, this, &DeviceFileDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &DeviceFileDialog::reject);
}

void DeviceFileDialog::Browse() {
  if (std::optional<std::string> chosen = picker_(this, ToStdString(folder_->text()))) {
    folder_->setText(ToQString(*chosen));
  }
}

void DeviceFileDialog::PresetAddress(const std::string& dotted) { address_->SetAddress(dotted); }

void DeviceFileDialog::accept() {
  const DeviceFileResult result = WriteDeviceFile(&settings_, address_->Address(), ToStdString(folder_->text()));
  if (result.outcome == DeviceFileResult::Outcome::kFailed) {
    ShowMessage(this, "The Device Configuration File could not be created: " + result.text);
    return;
  }
  if (result.outcome == DeviceFileResult::Outcome::kRefused) {
    ShowMessage(this, result.text);
    return;
  }
  ShowMessage(this, kDeviceFileCreated);
  ShowMessage(this, kInstallDeviceFile);
  QDialog::accept();
}

}  // namespace tarvex
