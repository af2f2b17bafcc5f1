#include "ui/advanced_config_dialog.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "core/settings/server_settings.h"
#include "ui/dialog_parts.h"
#include "ui/folder_dialog.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"

namespace tarvex {

AdvancedConfigDialog::AdvancedConfigDialog(QWidget* parent, FolderPicker picker)
    : QDialog(parent),
      picker_(std::move(picker)),
      box_(PathBox(ToQString(ServerSettings::GetDataDir().value_or(std::string())), "dataDir")) {
  setWindowTitle(QStringLiteral("Tarvex Server Advanced Configuration"));
  KeepTitleWhole(this);
  auto* group = new QGroupBox(QStringLiteral("Server Root Dir"));
  auto* group_layout = new QVBoxLayout(group);
  group_layout->addWidget(WrappedText(QStringLiteral(
      "By default Tarvex Server keeps its configuration in its own application folder. Click "
      "Change... to keep it in another folder; the new location is used from the next start "
      "of the program.")));
  QPushButton* change = SideButton(QStringLiteral("Change..."), "change");
  group_layout->addLayout(RowWithButton(box_, change));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(buttons);
  connect(change, &QPushButton::clicked, this, &AdvancedConfigDialog::Change);
  connect(buttons, &QDialogButtonBox::accepted, this, &AdvancedConfigDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &AdvancedConfigDialog::reject);
}

void AdvancedConfigDialog::Change() {
  FolderDialog dialog(StorageFolderTexts(), ServerSettings::GetDataDir().value_or(std::string()),
                      this, picker_);
  if (dialog.exec() != QDialog::Accepted) return;
  if (!ServerSettings::SetDataDir(dialog.Path())) {
    ShowMessage(this, kFolderNotStored);
    return;
  }
  box_->setText(ToQString(dialog.Path()));
}

}  // namespace tarvex
