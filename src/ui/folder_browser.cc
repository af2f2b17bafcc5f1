#include "platform/qt_text.h"
#include "ui/folder_browser.h"

#include <QtWidgets/QFileDialog>


namespace tarvex {

std::optional<std::string> BrowseForFolder(QWidget* owner, const std::string& current_path) {
  const QString chosen =
      QFileDialog::getExistingDirectory(owner, QStringLiteral("Select a Folder:"),
                                        ToQString(current_path), QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return std::nullopt;
  return ToStdString(chosen);
}

}  // namespace tarvex
