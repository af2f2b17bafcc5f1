// AdvancedConfigDialog ("Tarvex Server Advanced Configuration"): shows the
// stored data directory. "Change..." opens the configuration storage folder
// dialog at it; a folder confirmed there is stored at once (and shown), so
// OK and Cancel only close. A folder that cannot be stored is reported and
// the box keeps the stored one. The new directory is used from the next
// start of the program. GUI thread only.
#pragma once

#include <QtWidgets/QDialog>

#include "ui/folder_browser.h"

class QLineEdit;

namespace tarvex {

class AdvancedConfigDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AdvancedConfigDialog(QWidget* parent = nullptr, FolderPicker picker = BrowseForFolder);

 private:
  void Change();

  FolderPicker picker_;
  QLineEdit* box_;
};

}  // namespace tarvex
