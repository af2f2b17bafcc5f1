// AdvancedConfigDialog ("Tarvex Server Advanced Configuration"): shows the
// stored data directory. "Change..." opens the configuration storage folder
// dialog at it; a folder confirmed there is stored at once (and shown). A
// folder that cannot be stored is reported and the box keeps the stored one.
// The new directory is used from the next start of the program.
//
// It also shows the handhelds' character set (CHARSET of the settings it is
// given; without settings it only shows the stored one). OK stores a changed
// one and writes the settings file, after checking that the converter knows
// it; an unknown name is reported and the dialog stays open. Sessions that
// start afterwards use it. GUI thread only.
#pragma once

#include <QtWidgets/QDialog>

#include "ui/folder_browser.h"

class QComboBox;
class QLineEdit;

namespace tarvex {

class ServerSettings;

class AdvancedConfigDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AdvancedConfigDialog(QWidget* parent = nullptr, FolderPicker picker = BrowseForFolder,
                                ServerSettings* settings = nullptr);

  void accept() override;

 private:
  void Change();

  FolderPicker picker_;
  ServerSettings* settings_;
  QLineEdit* box_;
  QComboBox* charset_;
};

}  // namespace tarvex
