// ServerConfigDialog ("Tarvex Server Configuration"): the login name, the
// password and the port of the server settings it is given. "Advanced..."
// opens the AdvancedConfigDialog (the data directory, the handhelds' code page).
//
// It opens with the stored login name and password and the stored port, or
// 9300 while none above 0 is stored. OK checks, in this order, the port
// text, the login name, the password's length and whether the password can
// be stored; the first failure is shown in a message box and the dialog stays
// open with the input kept and nothing stored. When all pass it sets the
// port, login name and password, writes the settings file and closes.
// Texts are taken as typed. GUI thread only.
#pragma once

#include <QtWidgets/QDialog>

#include "ui/folder_browser.h"

class QLineEdit;

namespace tarvex {

class ServerSettings;

class ServerConfigDialog : public QDialog {
  Q_OBJECT

 public:
  ServerConfigDialog(ServerSettings& settings, QWidget* parent = nullptr,
                     FolderPicker picker = BrowseForFolder);

  void accept() override;

 private:
  ServerSettings& settings_;
  FolderPicker picker_;
  QLineEdit* login_;
  QLineEdit* password_;
  QLineEdit* port_;
};

}  // namespace tarvex
