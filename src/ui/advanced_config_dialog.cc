#include "platform/qt_text.h"
#include "ui/advanced_config_dialog.h"

#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "core/settings/configuration_checks.h"
#include "core/settings/server_settings.h"
#include "ui/dialog_parts.h"
#include "ui/folder_dialog.h"
#include "ui/message_box.h"

namespace tarvex {

AdvancedConfigDialog::AdvancedConfigDialog(QWidget* parent, FolderPicker picker, ServerSettings* settings)
    : QDialog(parent),
      picker_(std::move(picker)),
      settings_(settings),
      box_(PathBox(ToQString(ServerSettings::GetDataDir().value_or(std::string())), "dataDir")),
      charset_(new QComboBox) {
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

  auto* texts = new QGroupBox(QStringLiteral("Handheld Character Set"));
  auto* texts_layout = new QVBoxLayout(texts);
  texts_layout->addWidget(WrappedText(QStringLiteral(
      "The code page of the handhelds' file names and texts. They are converted to and from the "
      "desktop's UTF-8 with it. Any name iconv knows is accepted.")));
  charset_->setObjectName(QStringLiteral("charset"));
  charset_->setEditable(true);
  for (const char* name : {"WINDOWS-1252", "WINDOWS-1250", "WINDOWS-1251", "ISO-8859-1", "ISO-8859-15",
                           "SHIFT_JIS", "CP932", "GBK", "BIG5", "EUC-KR"}) {
    charset_->addItem(QString::fromLatin1(name));
  }
  const std::string stored =
      settings_ != nullptr ? settings_->GetDeviceCharset() : ServerSettings::ReadStoredDeviceCharset();
  charset_->setCurrentText(ToQString(stored));
  charset_->setEnabled(settings_ != nullptr);
  texts_layout->addWidget(charset_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(texts);
  layout->addWidget(buttons);
  connect(change, &QPushButton::clicked, this, &AdvancedConfigDialog::Change);
  connect(buttons, &QDialogButtonBox::accepted, this, &AdvancedConfigDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &AdvancedConfigDialog::reject);
}

void AdvancedConfigDialog::accept() {
  if (settings_ != nullptr) {
    SettingsChange change;
    change.charset = ToStdString(charset_->currentText().trimmed());
    if (change.charset != settings_->GetDeviceCharset()) {
      if (std::optional<std::string> problem = FirstProblem(change)) {
        ShowMessage(this, *problem);
        return;
      }
      ApplySettingsChange(change, *settings_);
    }
  }
  QDialog::accept();
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
