#include "ui/file_service_config_dialog.h"

#include "core/settings/root_dir.h"
#include "ui/message_box.h"

namespace tarvex {

std::unique_ptr<FolderDialog> MakeFileServiceConfigDialog(QWidget* parent, FolderPicker picker) {
  const FolderDialog::Texts texts = {
      QStringLiteral("Quillet Exchange Configuration"), QString(),
      QStringLiteral("New files uploaded from your handheld to this computer will be stored in "
                     "the following folder.\n\nIf you wish to change this folder location, "
                     "please click on the Browse button below.")};
  return std::make_unique<FolderDialog>(texts, ReadRootDir().value_or(std::string()), parent,
                                        std::move(picker));
}

bool ConfigureFileService(QWidget* parent, FolderPicker picker) {
  std::unique_ptr<FolderDialog> dialog = MakeFileServiceConfigDialog(parent, std::move(picker));
  if (dialog->exec() != QDialog::Accepted) return false;
  if (!WriteRootDir(dialog->Path())) {
    ShowMessage(parent, kFolderNotStored);
    return false;
  }
  return true;
}

}  // namespace tarvex
