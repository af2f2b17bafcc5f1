#include "platform/qt_text.h"
#include "ui/folder_dialog.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "core/settings/configuration_checks.h"
#include "ui/dialog_parts.h"
#include "ui/message_box.h"

namespace tarvex {

FolderDialog::FolderDialog(const Texts& texts, const std::string& path, QWidget* parent,
                           FolderPicker picker)
    : QDialog(parent), picker_(std::move(picker)), box_(PathBox(ToQString(path), "folder")) {
  setWindowTitle(texts.caption);
  KeepTitleWhole(this);
  auto* layout = new QVBoxLayout(this);
  if (!texts.heading.isEmpty()) {
    auto* heading = new QLabel(texts.heading);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setAlignment(Qt::AlignHCenter);
    layout->addWidget(heading);
  }
  layout->addWidget(WrappedText(texts.explanation));
  QPushButton* browse = SideButton(QStringLiteral("Browse"), "browse");
  layout->addLayout(RowWithButton(box_, browse));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  layout->addWidget(buttons);
  connect(browse, &QPushButton::clicked, this, &FolderDialog::Browse);
  connect(buttons, &QDialogButtonBox::accepted, this, &FolderDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &FolderDialog::reject);
}

std::string FolderDialog::Path() const { return ToStdString(box_->text()); }

void FolderDialog::Browse() {
  std::optional<std::string> chosen = picker_(this, Path());
  if (!chosen) return;
  if (std::optional<std::string> folder = FolderWithSeparator(*chosen)) {
    box_->setText(ToQString(*folder));
  }
}

void FolderDialog::accept() {
  if (box_->text().isEmpty()) {
    ShowMessage(this, kInvalidDirectory);
    return;
  }
  QDialog::accept();
}

FolderDialog::Texts StorageFolderTexts() {
  return {QStringLiteral("Choose Tarvex Server Configuration Storage Folder"),
          QStringLiteral("** IMPORTANT **"),
          QStringLiteral("This folder is used by the server to locate internal data files. It "
                         "is set automatically and for most users it does not need to be "
                         "changed. Only change this if you are absolutely sure it is "
                         "necessary.")};
}

}  // namespace tarvex
